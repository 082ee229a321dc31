// The private state folder of a fuzz run (see fuzz_state.h).
#include "fuzz/state/fuzz_state.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fuzzstate {

namespace {

struct Folder {
    std::string dir;
    Folder() {
        std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string tmpl = base + "/fuzzstate.XXXXXX";
        if (!::mkdtemp(tmpl.data())) std::abort();
        dir = tmpl;
        ::setenv("MARENDO_HOME", dir.c_str(), 1);
    }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

const std::string& Dir() {
    static Folder folder;
    return folder.dir;
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) std::abort();
}

void RemoveFiles(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name.rfind(prefix, 0) == 0) ::unlink((dir + "/" + name).c_str());
    }
    ::closedir(d);
}

}  // namespace fuzzstate
