// Replays a fuzz target's standing corpus: every file named on the command line, or every file of
// every folder named there, is fed to LLVMFuzzerTestOneInput once. A crash or a sanitizer report
// fails the run; so does a missing or empty corpus.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

static bool Feed(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

int main(int argc, char** argv) {
    size_t fed = 0;
    for (int i = 1; i < argc; ++i) {
        fs::path p(argv[i]);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto& e : fs::recursive_directory_iterator(p))
                if (e.is_regular_file()) fed += Feed(e.path());
        } else if (!Feed(p)) {
            return 1;
        }
    }
    if (fed == 0) {
        std::fprintf(stderr, "replay: no corpus files\n");
        return 1;
    }
    std::printf("replay: %zu inputs\n", fed);
    return 0;
}
