// The temporary files of atomic writes in the state folder: those whose writer ended before its
// rename (a process killed mid-save) are removed; those of running writers and every other file stay.
#include "platform/win/statedir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "support/tempstate.h"
#include "transport/peers.h"

namespace {

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

TEST(StateDir, TemporariesOfEndedWritersAreRemovedAndAllElseStays) {
    testsupport::TempState state;
    const std::string dir = win::WindowsDir();
    // A writer that ran and was ended from outside, as a save is cut by a kill: `sleep`.
    testpeers::ChildProcess killed(testpeers::FindProgram({"/usr/bin/sleep", "/bin/sleep"}), {"30"});
    ASSERT_GT(killed.Pid(), 0) << "sleep could not be started";
    const std::string dead = std::to_string(killed.Pid());
    testpeers::ChildProcess running(testpeers::FindProgram({"/usr/bin/sleep", "/bin/sleep"}), {"30"});
    ASSERT_GT(running.Pid(), 0);
    const std::string alive = std::to_string(running.Pid());
    const std::string self = std::to_string(getpid());

    struct Case {
        std::string name;
        bool removed;
    } cases[] = {
        {"tolvar17.ini.tmp." + dead, true},
        {"HKCU.reg.tmp." + dead, true},
        {"liste.ini.tmp.tmp." + dead, true},
        {"tolvar17.ini.tmp." + alive, false},  // a save under way in another process
        {"tolvar17.ini.tmp." + self, false},   // and in this one
        {"tolvar17.ini", false},
        {"tolvar17.ini.tmp.", false},
        {"tolvar17.ini.tmp.12a", false},
        {"tolvar17.ini.tmp." + dead + ".bak", false},
        {"tolvar17.ini.part", false},
    };
    for (const Case& k : cases) testsupport::WriteAll(dir + "/" + k.name, "x");
    ASSERT_EQ(::mkdir((dir + "/folder.tmp." + dead).c_str(), 0700), 0);  // a folder is no temporary file

    // While the first writer runs, nothing is stale.
    EXPECT_EQ(win::RemoveStaleTemporaries(dir), 0);
    for (const Case& k : cases) EXPECT_TRUE(Exists(dir + "/" + k.name)) << k.name;

    killed.Stop();  // ended and waited for
    EXPECT_EQ(win::RemoveStaleTemporaries(dir), 3);
    for (const Case& k : cases) EXPECT_EQ(Exists(dir + "/" + k.name), !k.removed) << k.name;
    EXPECT_TRUE(Exists(dir + "/folder.tmp." + dead));
    EXPECT_EQ(win::RemoveStaleTemporaries(dir + "/no such folder"), 0);
}
