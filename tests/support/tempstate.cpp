#include "support/tempstate.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempState::TempState() {
    char tmpl[] = "/tmp/marendo-test-XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
    dir_ = tmpl;
    if (const char* old = std::getenv("MARENDO_HOME")) {
        hadOld_ = true;
        oldHome_ = old;
    }
    setenv("MARENDO_HOME", dir_.c_str(), 1);
}

TempState::~TempState() {
    if (hadOld_)
        setenv("MARENDO_HOME", oldHome_.c_str(), 1);
    else
        unsetenv("MARENDO_HOME");
    RemoveTree(dir_);
}

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
}

}  // namespace testsupport
