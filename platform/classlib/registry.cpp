#include "platform/classlib/registry.h"

#include <cstring>
#include <vector>

namespace {

[[noreturn]] void Raise(const char* fmt, const std::string& name) {
    throw ERegistryException(Format(fmt, {name}));
}

constexpr const char* kSetFailed = "Failed to set data for '%s'";
constexpr const char* kGetFailed = "Failed to get data for '%s'";
constexpr const char* kInvalidType = "Invalid data type for '%s'";

TRegDataType DataTypeToRegData(DWORD t) {
    switch (t) {
        case REG_SZ: return TRegDataType::rdString;
        case REG_EXPAND_SZ: return TRegDataType::rdExpandString;
        case REG_DWORD: return TRegDataType::rdInteger;
        case REG_BINARY: return TRegDataType::rdBinary;
        default: return TRegDataType::rdUnknown;
    }
}

DWORD RegDataToDataType(TRegDataType t) {
    switch (t) {
        case TRegDataType::rdString: return REG_SZ;
        case TRegDataType::rdExpandString: return REG_EXPAND_SZ;
        case TRegDataType::rdInteger: return REG_DWORD;
        case TRegDataType::rdBinary: return REG_BINARY;
        default: return REG_NONE;
    }
}

bool IsRelative(const std::string& key) { return key.empty() || key[0] != '\\'; }

std::string StripLead(const std::string& key) { return IsRelative(key) ? key : key.substr(1); }

}  // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : Access(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
    if (root == FRootKey) return;
    FRootKey = root;
    CloseKey();
}

HKEY TRegistry::GetBaseKey(bool relative) const {
    return (!FCurrentKey || !relative) ? FRootKey : FCurrentKey;
}

void TRegistry::ChangeKey(HKEY value, const std::string& path) {
    CloseKey();
    FCurrentKey = value;
    FCurrentPath = path;
}

HKEY TRegistry::GetKey(const std::string& key) {
    bool rel = IsRelative(key);
    HKEY result = nullptr;
    if (RegOpenKeyExA(GetBaseKey(rel), StripLead(key).c_str(), 0, Access, &result) != ERROR_SUCCESS) return nullptr;
    return result;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    bool rel = IsRelative(key);
    std::string s = StripLead(key);
    HKEY temp = nullptr;
    LONG rc;
    if (!canCreate || s.empty()) {
        rc = RegOpenKeyExA(GetBaseKey(rel), s.c_str(), 0, Access, &temp);
    } else {
        DWORD disp;
        rc = RegCreateKeyExA(GetBaseKey(rel), s.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr,
                             &temp, &disp);
    }
    if (rc != ERROR_SUCCESS) return false;
    if (rel && !FCurrentPath.empty()) s = s.empty() ? FCurrentPath : FCurrentPath + "\\" + s;
    ChangeKey(temp, s);
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    bool rel = IsRelative(key);
    std::string s = StripLead(key);
    HKEY temp = nullptr;
    if (RegOpenKeyExA(GetBaseKey(rel), s.c_str(), 0, KEY_READ, &temp) != ERROR_SUCCESS) return false;
    if (rel && !FCurrentPath.empty()) s = s.empty() ? FCurrentPath : FCurrentPath + "\\" + s;
    ChangeKey(temp, s);
    return true;
}

void TRegistry::CloseKey() {
    if (FCurrentKey) {
        RegCloseKey(FCurrentKey);
        FCurrentKey = nullptr;
        FCurrentPath.clear();
    }
}

bool TRegistry::CreateKey(const std::string& key) {
    bool rel = IsRelative(key);
    HKEY temp = nullptr;
    DWORD disp;
    if (RegCreateKeyExA(GetBaseKey(rel), StripLead(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access,
                        nullptr, &temp, &disp) != ERROR_SUCCESS)
        throw ERegistryException(Format("Failed to create key %s", {key}));
    RegCloseKey(temp);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key) {
    bool rel = IsRelative(key);
    std::string s = StripLead(key);
    HKEY old = FCurrentKey;
    HKEY del = GetKey(key);
    if (del) {
        FCurrentKey = del;
        std::vector<std::string> names;
        DWORD count = 0, maxLen = 0;
        if (RegQueryInfoKeyA(del, nullptr, nullptr, nullptr, &count, &maxLen, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr) == ERROR_SUCCESS) {
            std::vector<char> buf(maxLen + 1);
            for (DWORD i = 0; i < count; ++i) {
                DWORD len = maxLen + 1;
                if (RegEnumKeyExA(del, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
                    names.emplace_back(buf.data(), len);
            }
        }
        try {
            for (const auto& n : names) DeleteKey(n);
        } catch (...) {
            FCurrentKey = old;
            RegCloseKey(del);
            throw;
        }
        FCurrentKey = old;
        RegCloseKey(del);
    }
    return RegDeleteKeyA(GetBaseKey(rel), s.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& key) {
    bool rel = IsRelative(key);
    HKEY temp = nullptr;
    if (RegOpenKeyExA(GetBaseKey(rel), StripLead(key).c_str(), 0, KEY_READ, &temp) != ERROR_SUCCESS) return false;
    RegCloseKey(temp);
    return true;
}

bool TRegistry::HasSubKeys() {
    DWORD count = 0;
    return RegQueryInfoKeyA(FCurrentKey, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           count > 0;
}

void TRegistry::GetKeyNames(TStrings* strings) {
    strings->Clear();
    DWORD count = 0, maxLen = 0;
    if (RegQueryInfoKeyA(FCurrentKey, nullptr, nullptr, nullptr, &count, &maxLen, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> buf(maxLen + 1);
    strings->BeginUpdate();
    for (DWORD i = 0; i < count; ++i) {
        DWORD len = maxLen + 1;
        if (RegEnumKeyExA(FCurrentKey, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        strings->Add(std::string(buf.data(), len));
    }
    strings->EndUpdate();
}

void TRegistry::GetValueNames(TStrings* strings) {
    strings->Clear();
    DWORD count = 0, maxLen = 0;
    if (RegQueryInfoKeyA(FCurrentKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxLen, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::vector<char> buf(maxLen + 1);
    strings->BeginUpdate();
    for (DWORD i = 0; i < count; ++i) {
        DWORD len = maxLen + 1;
        if (RegEnumValueA(FCurrentKey, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        strings->Add(std::string(buf.data(), len));
    }
    strings->EndUpdate();
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
    DWORD type = REG_NONE, size = 0;
    info = TRegDataInfo{};
    if (RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    info.RegData = DataTypeToRegData(type);
    info.DataSize = static_cast<int>(size);
    return true;
}

bool TRegistry::ValueExists(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info);
}

bool TRegistry::DeleteValue(const std::string& name) {
    return RegDeleteValueA(FCurrentKey, name.c_str()) == ERROR_SUCCESS;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.RegData : TRegDataType::rdUnknown;
}

int TRegistry::GetDataSize(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

int TRegistry::GetData(const std::string& name, void* buffer, DWORD bufSize, TRegDataType& regData) {
    DWORD type = REG_NONE;
    LONG rc = RegQueryValueExA(FCurrentKey, name.c_str(), nullptr, &type, static_cast<LPBYTE>(buffer), &bufSize);
    if (rc == ERROR_FILE_NOT_FOUND) {
        regData = TRegDataType::rdUnknown;
        return 0;
    }
    if (rc != ERROR_SUCCESS) Raise(kGetFailed, name);
    regData = DataTypeToRegData(type);
    return static_cast<int>(bufSize);
}

void TRegistry::PutData(const std::string& name, const void* buffer, DWORD bufSize, TRegDataType regData) {
    if (RegSetValueExA(FCurrentKey, name.c_str(), 0, RegDataToDataType(regData), static_cast<const BYTE*>(buffer),
                       bufSize) != ERROR_SUCCESS)
        Raise(kSetFailed, name);
}

std::string TRegistry::ReadString(const std::string& name) {
    int len = GetDataSize(name);
    if (len <= 0) return "";
    std::string buf(static_cast<size_t>(len), '\0');
    TRegDataType t;
    int n = GetData(name, buf.data(), static_cast<DWORD>(len), t);
    if (t != TRegDataType::rdString && t != TRegDataType::rdExpandString) Raise(kInvalidType, name);
    buf.resize(static_cast<size_t>(n));
    if (!buf.empty() && buf.back() == '\0') buf.pop_back();
    return buf;
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), TRegDataType::rdString);
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
    PutData(name, value.c_str(), static_cast<DWORD>(value.size() + 1), TRegDataType::rdExpandString);
}

int TRegistry::ReadInteger(const std::string& name) {
    // The type is checked before the data, so a text value says "Invalid data type" whatever its size.
    TRegDataInfo info;
    if (!GetDataInfo(name, info) || info.RegData != TRegDataType::rdInteger) Raise(kInvalidType, name);
    std::uint32_t v = 0;
    TRegDataType t;
    GetData(name, &v, sizeof v, t);  // more than four bytes raises "Failed to get data"
    if (t != TRegDataType::rdInteger) Raise(kInvalidType, name);
    return static_cast<int>(v);
}

void TRegistry::WriteInteger(const std::string& name, int value) {
    std::uint32_t v = static_cast<std::uint32_t>(value);
    PutData(name, &v, sizeof v, TRegDataType::rdInteger);
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
    TRegDataInfo info;
    if (!GetDataInfo(name, info)) return 0;
    if (info.RegData != TRegDataType::rdBinary || info.DataSize > bufSize) Raise(kInvalidType, name);
    TRegDataType t;
    return GetData(name, buffer, static_cast<DWORD>(bufSize), t);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
    PutData(name, buffer, static_cast<DWORD>(bufSize), TRegDataType::rdBinary);
}

// ---- TRegIniFile ---------------------------------------------------------------------------------

TRegIniFile::TRegIniFile(const std::string& fileName) : FFileName(fileName) { OpenKey(fileName, true); }

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access) : TRegistry(access), FFileName(fileName) {
    OpenKey(fileName, true);
}

namespace {

// Runs body with the section's key as the current key; false when the key cannot be opened.
template <typename Body>
bool WithSection(HKEY sectionKey, HKEY& current, Body body) {
    if (!sectionKey) return false;
    HKEY old = current;
    current = sectionKey;
    try {
        body();
    } catch (...) {
        current = old;
        RegCloseKey(sectionKey);
        throw;
    }
    current = old;
    RegCloseKey(sectionKey);
    return true;
}

}  // namespace

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) {
    std::string result = def;
    WithSection(GetKey(section), FCurrentKey, [&] {
        if (ValueExists(ident)) result = TRegistry::ReadString(ident);
    });
    return result;
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
    if (!section.empty()) CreateKey(section);
    if (!WithSection(GetKey(section), FCurrentKey, [&] { TRegistry::WriteString(ident, value); }))
        Raise(kSetFailed, ident);
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int def) {
    int result = def;
    WithSection(GetKey(section), FCurrentKey, [&] {
        TRegDataInfo info;
        if (!GetDataInfo(ident, info)) return;
        if (info.RegData == TRegDataType::rdInteger) {
            result = TRegistry::ReadInteger(ident);
        } else {
            result = StrToIntDef(TRegistry::ReadString(ident), def);
        }
    });
    return result;
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
    WriteString(section, ident, IntToStr(value));
}

bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
    WriteInteger(section, ident, value ? 1 : 0);
}

void TRegIniFile::ReadSection(const std::string& section, TStrings* strings) {
    strings->Clear();
    WithSection(GetKey(section), FCurrentKey, [&] { GetValueNames(strings); });
}

void TRegIniFile::ReadSections(TStrings* strings) { GetKeyNames(strings); }

void TRegIniFile::EraseSection(const std::string& section) { TRegistry::DeleteKey(section); }

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident) {
    WithSection(GetKey(section), FCurrentKey, [&] { DeleteValue(ident); });
}
