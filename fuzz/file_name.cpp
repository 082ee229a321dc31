// Fuzzes the file names that come from the file system (a file dialog's answer, a typed name):
// the input is a name's bytes. A name that has a program path is exactly what that path names; a
// name shown in a box is UTF-8 whatever the bytes were; every byte string, taken as a program path,
// names a file whose name leads back to it.
#include <cstdint>
#include <string>

#include "platform/codepage/cp1254.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::string path;
    if (cp1254::PathFromUtf8(bytes, path)) {
        Check(cp1254::PathToUtf8(path) == bytes);
        Check(cp1254::ShownUtf8(bytes) == bytes);
    }
    const std::string shown = cp1254::ShownUtf8(bytes);
    Check(cp1254::ShownUtf8(shown) == shown);
    std::string back;
    Check(cp1254::PathFromUtf8(cp1254::PathToUtf8(bytes), back) && back == bytes);
    return 0;
}
