// Fuzzes the reading of tolvar17.ini and the list files of its layout: the input is the file,
// read by the ini-file class and then by the address-book and history readers, as the start, the
// history window and the list load read it.
//
// Holds for every input: the two book lists come back parallel and within the most entries a file
// is read for, and the reading ends (the fuzzer's time limit catches a count that runs on).
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "messenger/StoredState.h"
#include "platform/classlib/inifiles.h"
#include "platform/classlib/strings.h"
#include "platform/win/statedir.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A state folder of its own for the run, removed at exit.
char gStateDir[] = "/tmp/marendo-fuzz-XXXXXX";

void MakeStateDir() {
    static const bool made = [] {
        Check(mkdtemp(gStateDir) != nullptr);
        setenv("MARENDO_HOME", gStateDir, 1);
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(gStateDir, ec);
        });
        return true;
    }();
    (void)made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MakeStateDir();
    {
        std::ofstream ini(win::WindowsDir() + "/" + storedstate::MainIniName, std::ios::binary | std::ios::trunc);
        ini.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    TIniFile ini(storedstate::MainIniName);
    TStringList names, numbers, history;
    try {
        storedstate::ReadBook(ini, &names, &numbers);
        storedstate::ReadHistory(ini, &history);
    } catch (const Exception&) {
        return 0;
    }
    Check(names.Count() == numbers.Count());
    Check(names.Count() <= storedstate::MostEntries && history.Count() <= storedstate::MostEntries);
    return 0;
}
