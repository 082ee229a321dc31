// Fuzzes the reading of a registry hive file (REGEDIT4 text) through the registry calls: the
// input is the HKEY_CURRENT_USER file. A file that cannot be read must be kept aside unchanged and
// give an empty hive; a file that can must be written back (after a change that is then undone)
// so that it reads as the same tree of keys, values, types and data.
#include <cstdint>
#include <string>

#include "fuzz/state/fuzz_state.h"
#include "platform/registry/registry.h"

namespace {

using fuzzstate::Check;

std::string Hex(const BYTE* p, DWORD n) {
    static const char kHex[] = "0123456789abcdef";
    std::string s;
    for (DWORD i = 0; i < n; ++i) {
        s += kHex[p[i] >> 4];
        s += kHex[p[i] & 15];
    }
    return s;
}

// Every key below `key`, with its values, as text.
void Dump(HKEY key, const std::string& path, std::string& out) {
    DWORD subkeys = 0, values = 0, maxName = 0, maxValueName = 0, maxData = 0;
    Check(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &maxName, nullptr, &values, &maxValueName,
                           &maxData, nullptr, nullptr) == ERROR_SUCCESS);
    std::string name(maxValueName + 1, '\0');
    std::string data(maxData + 1, '\0');
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size()), type = 0, dataLen = static_cast<DWORD>(data.size());
        Check(RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                            &dataLen) == ERROR_SUCCESS);
        out += path + " | " + Hex(reinterpret_cast<const BYTE*>(name.data()), nameLen) + " " + std::to_string(type) +
               " " + Hex(reinterpret_cast<const BYTE*>(data.data()), dataLen) + "\n";
    }
    std::string sub(maxName + 1, '\0');
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD len = static_cast<DWORD>(sub.size());
        Check(RegEnumKeyExA(key, i, sub.data(), &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS);
        std::string subName(sub.data(), len);
        out += path + "\\" + Hex(reinterpret_cast<const BYTE*>(subName.data()), len) + "\n";
        // A name with a control character (a NUL among them) is kept and written back, but no
        // call opens it.
        bool opens = true;
        for (char c : subName) opens = opens && static_cast<unsigned char>(c) >= 0x20;
        if (!opens) continue;
        HKEY child = nullptr;
        Check(RegOpenKeyExA(key, subName.c_str(), 0, KEY_READ, &child) == ERROR_SUCCESS);
        Dump(child, path + "\\" + subName, out);
        RegCloseKey(child);
    }
}

std::string DumpUser() {
    std::string out;
    Dump(HKEY_CURRENT_USER, "", out);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzstate::Dir();
    static bool quiet = [] {
        reg::SetNoticeHandler([](const std::string&) {});
        return true;
    }();
    (void)quiet;
    const std::string file = reg::HiveFilePath(HKEY_CURRENT_USER);
    const std::string dir = file.substr(0, file.rfind('/'));
    fuzzstate::RemoveFiles(dir, "HK");
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzzstate::WriteFile(file, input);
    reg::ReloadHives();

    const std::string before = DumpUser();
    std::string onDisk;
    if (!fuzzstate::ReadFile(file, onDisk)) {
        // Unreadable: kept aside byte for byte, and the hive is empty.
        std::string kept;
        Check(fuzzstate::ReadFile(file + ".corrupt", kept) && kept == input);
        Check(before.empty());
        return 0;
    }
    Check(onDisk == input);  // reading never changes the file

    // A change rewrites the whole file from the tree read; undoing it leaves the same tree.
    const char* probe = "FuzzProbe";
    HKEY k = nullptr;
    DWORD disposition = 0;
    Check(RegCreateKeyExA(HKEY_CURRENT_USER, probe, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, &disposition) ==
          ERROR_SUCCESS);
    RegCloseKey(k);
    if (disposition == REG_CREATED_NEW_KEY) Check(RegDeleteKeyA(HKEY_CURRENT_USER, probe) == ERROR_SUCCESS);
    reg::ReloadHives();
    Check(DumpUser() == before);
    return 0;
}
