// Fuzzes the reading of a downloaded news file: the bytes become the file, and the messenger reads
// its stamp and announcements through the profile functions, as the news check does.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "messenger/NewsFile.h"
#include "platform/win/statedir.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A state folder of this run, made once and removed at exit.
struct StateFolder {
    std::string dir;
    StateFolder() {
        char tmpl[] = "/tmp/news-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) __builtin_trap();
        dir = tmpl;
        setenv("MARENDO_HOME", dir.c_str(), 1);
    }
    ~StateFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

const std::string& NewsPath() {
    static StateFolder folder;
    static const std::string path = win::LocalPath(news::FileName);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = NewsPath();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const news::TNews n = news::ReadNews(news::FileName, "http://fallback.example/");
    for (const std::string* s : {&n.Surum, &n.Url1, &n.Yazi1, &n.Url2, &n.Yazi2})
        Check(s->find('\n') == std::string::npos);
    Check(n.Newer() == (n.Surum.compare("17") > 0));
    if (news::IsWebLink(n.Url1)) Check(n.Url1.size() >= 7);
    return 0;
}
