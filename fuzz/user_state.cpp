// Fuzzes what the messenger reads of its registry users: the input is the text of the user hive
// (HKCU.reg), read by the registry and then by the user-settings window's reader (names and
// passwords) and the login's reader (a user's book and history) for every user listed.
//
// Holds for every input: the readers either raise the class library's exception or return lists
// that stay parallel; a reader that raises leaves the lists it was given as they were.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "messenger/StoredState.h"
#include "platform/classlib/strings.h"
#include "platform/registry/registry.h"

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// A state folder of its own for the run, removed at exit.
char gStateDir[] = "/tmp/marendo-fuzz-XXXXXX";

const char* StateDir() {
    static const bool made = [] {
        Check(mkdtemp(gStateDir) != nullptr);
        setenv("MARENDO_HOME", gStateDir, 1);
        reg::SetNoticeHandler([](const std::string&) {});
        std::atexit([] {
            std::error_code ec;
            std::filesystem::remove_all(gStateDir, ec);
        });
        return true;
    }();
    (void)made;
    return gStateDir;
}

void Fill(TStrings& l, const char* sentinel) {
    l.Clear();
    l.Add(sentinel);
}

bool Untouched(const TStrings& l, const char* sentinel) { return l.Count() == 1 && l.Get(0) == sentinel; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string registry = std::string(StateDir()) + "/registry";
    std::error_code ec;
    std::filesystem::remove_all(registry, ec);
    std::filesystem::create_directories(registry);
    {
        std::ofstream hive(registry + "/HKCU.reg", std::ios::binary);
        hive.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    reg::ReloadHives();

    TStringList users, passwords;
    Fill(users, "users");
    Fill(passwords, "passwords");
    try {
        storedstate::ReadUsers(&users, &passwords);
        Check(users.Count() == passwords.Count());
    } catch (const Exception&) {
        Check(Untouched(users, "users") && Untouched(passwords, "passwords"));
        return 0;
    }
    for (int i = 0; i < users.Count() && i < 16; ++i) {
        TStringList names, numbers, historyNames, history;
        Fill(names, "n");
        Fill(numbers, "m");
        Fill(historyNames, "h");
        Fill(history, "t");
        try {
            storedstate::ReadRegistryUserState(users.Get(i), &names, &numbers, &historyNames, &history);
            Check(names.Count() == numbers.Count());
            Check(historyNames.Count() == history.Count());
        } catch (const Exception&) {
            Check(Untouched(names, "n") && Untouched(numbers, "m") && Untouched(historyNames, "h") &&
                  Untouched(history, "t"));
        }
    }
    return 0;
}
