// Fuzzes the reading of ini files through the profile calls: the input is the file. Every key
// listed must read back (in a file without NUL bytes, which would cut the lists), and a write of
// a new section must keep every byte of the file in front of it, and its removal every value read.
#include <cstdint>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/state/fuzz_state.h"
#include "platform/registry/profile.h"

namespace {

using fuzzstate::Check;

constexpr DWORD kBuf = 1 << 16;

// A NUL-separated list, ending in a second NUL, as the listing calls return it.
std::vector<std::string> List(const std::string& buf, DWORD n) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        if (buf[i] != '\0') continue;
        out.push_back(buf.substr(start, i - start));
        start = i + 1;
    }
    return out;
}

// Every section with its keys and values, as text.
std::string Dump(const char* file, bool listsWhole) {
    std::string out;
    std::string buf(kBuf, '\0');
    DWORD n = GetPrivateProfileSectionNamesA(buf.data(), kBuf, file);
    Check(n < kBuf);
    for (const std::string& section : List(buf, n)) {
        out += "[" + section + "]\n";
        std::string keys(kBuf, '\0');
        DWORD k = GetPrivateProfileStringA(section.c_str(), nullptr, "", keys.data(), kBuf, file);
        Check(k < kBuf);
        for (const std::string& key : List(keys, k)) {
            std::string value(kBuf, '\0');
            DWORD v = GetPrivateProfileStringA(section.c_str(), key.c_str(), "\x01missing", value.data(), kBuf, file);
            value.resize(v);
            if (listsWhole) Check(value != "\x01missing");  // a listed key is there
            out += key + "=" + value + "\n";
            out += std::to_string(GetPrivateProfileIntA(section.c_str(), key.c_str(), 12345, file)) + "\n";
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzstate::Dir() + "/fuzz.ini";
    const std::string input(reinterpret_cast<const char*>(data), size);
    fuzzstate::WriteFile(path, input);
    const char* file = path.c_str();
    // A listed key is looked up with a default no value of the file can be: that needs no NUL in the
    // input, and not the default's own bytes.
    const bool listsWhole = input.find('\0') == std::string::npos && input.find("\x01missing") == std::string::npos;
    const std::string before = Dump(file, listsWhole);

    std::string folded = input;
    for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (folded.find("fuzzprobe\x01") != std::string::npos) return 0;  // the probe's section is taken
    Check(WritePrivateProfileStringA("FuzzProbe\x01", "Key", "Value", file));
    std::string written;
    Check(fuzzstate::ReadFile(path, written));
    Check(written.compare(0, input.size(), input) == 0);
    std::string value(64, '\0');
    DWORD v = GetPrivateProfileStringA("FuzzProbe\x01", "Key", "", value.data(), 64, file);
    Check(std::string(value.data(), v) == "Value");
    Check(WritePrivateProfileStringA("FuzzProbe\x01", nullptr, nullptr, file));
    Check(Dump(file, listsWhole) == before);
    return 0;
}
