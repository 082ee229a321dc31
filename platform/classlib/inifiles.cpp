#include "platform/classlib/inifiles.h"

#include <vector>

#include "platform/registry/profile.h"

namespace {

// Reads a NUL-separated list through a buffer that grows until the list fits.
template <typename Read>
void ReadList(Read read, TStrings* strings) {
    std::vector<char> buf(16384);
    DWORD n;
    for (;;) {
        n = read(buf.data(), static_cast<DWORD>(buf.size()));
        if (n + 2 < buf.size()) break;
        buf.resize(buf.size() * 4);
    }
    strings->BeginUpdate();
    strings->Clear();
    size_t i = 0;
    while (i < n && buf[i] != '\0') {
        std::string item(&buf[i]);
        strings->Add(item);
        i += item.size() + 1;
    }
    strings->EndUpdate();
}

}  // namespace

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int def) {
    const std::string s = ReadString(section, ident, "");
    // Only "0x"/"0X" marks hexadecimal here: the class library's '$' is not an ini file's.
    const size_t digits = !s.empty() && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (digits < s.size() && s[digits] == '$') return def;
    return StrToIntDef(s, def);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int value) {
    WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) {
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
    WriteString(section, ident, value ? "1" : "0");
}

bool TCustomIniFile::SectionExists(const std::string& section) {
    TStringList keys;
    ReadSection(section, &keys);
    return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) {
    TStringList keys;
    ReadSection(section, &keys);
    return keys.IndexOf(ident) > -1;
}

namespace {
[[noreturn]] void WriteFailed(const std::string& fileName) {
    throw EIniFileException(Format("Unable to write to %s", {fileName}));
}
}  // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) {
    char buf[2048];
    DWORD n = GetPrivateProfileStringA(section.c_str(), ident.c_str(), def.c_str(), buf, sizeof buf, FFileName.c_str());
    return std::string(buf, n);
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
    if (!WritePrivateProfileStringA(section.c_str(), ident.c_str(), value.c_str(), FFileName.c_str()))
        WriteFailed(FFileName);
}

void TIniFile::ReadSection(const std::string& section, TStrings* strings) {
    ReadList([&](char* b, DWORD n) {
        return GetPrivateProfileStringA(section.c_str(), nullptr, nullptr, b, n, FFileName.c_str());
    }, strings);
}

void TIniFile::ReadSections(TStrings* strings) {
    ReadList([&](char* b, DWORD n) {
        return GetPrivateProfileStringA(nullptr, nullptr, nullptr, b, n, FFileName.c_str());
    }, strings);
}

void TIniFile::ReadSectionValues(const std::string& section, TStrings* strings) {
    TStringList keys;
    ReadSection(section, &keys);
    strings->BeginUpdate();
    strings->Clear();
    for (int i = 0; i < keys.Count(); ++i) {
        std::string k = keys.Get(i);
        strings->Add(k + "=" + ReadString(section, k, ""));
    }
    strings->EndUpdate();
}

void TIniFile::EraseSection(const std::string& section) {
    if (!WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, FFileName.c_str())) WriteFailed(FFileName);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
    if (!WritePrivateProfileStringA(section.c_str(), ident.c_str(), nullptr, FFileName.c_str())) WriteFailed(FFileName);
}

void TIniFile::UpdateFile() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, FFileName.c_str());
}
