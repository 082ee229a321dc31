// The module table behind LoadLibraryA.
#include <gtest/gtest.h>

#include "platform/win/modules.h"
#include "platform/win/winbase.h"

namespace {

int Answer() { return 42; }
int g_loads = 0, g_unloads = 0;

class ModulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ClearModuleFaults();
        win::RegisterModule({"testmod.dll",
                             {{"Answer", reinterpret_cast<FARPROC>(&Answer)}},
                             [] { ++g_loads; },
                             [] { ++g_unloads; }});
        g_loads = g_unloads = 0;
    }
    void TearDown() override { win::ClearModuleFaults(); }
};

TEST_F(ModulesTest, LoadsByNameIgnoringCaseAndFolderAndCountsLoads) {
    HMODULE a = LoadLibraryA("TESTMOD.DLL");
    ASSERT_NE(a, nullptr);
    HMODULE b = LoadLibraryA("c:\\windows\\system\\testmod.dll");
    EXPECT_EQ(a, b);
    EXPECT_EQ(win::ModuleLoadCount("testmod.dll"), 2);
    EXPECT_EQ(g_loads, 1);
    auto fn = reinterpret_cast<int (*)()>(GetProcAddress(a, "Answer"));
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn(), 42);
    EXPECT_EQ(GetProcAddress(a, "answer"), nullptr);  // procedure names are exact
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(a));
    EXPECT_EQ(g_unloads, 0);
    EXPECT_TRUE(FreeLibrary(b));
    EXPECT_EQ(g_unloads, 1);
    EXPECT_EQ(win::ModuleLoadCount("testmod.dll"), 0);
    EXPECT_EQ(GetProcAddress(a, "Answer"), nullptr);  // a freed handle is dead
    EXPECT_FALSE(FreeLibrary(a));
}

TEST_F(ModulesTest, FaultHooksFailLoadsAndLookups) {
    EXPECT_EQ(LoadLibraryA("nosuch.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    win::FailModuleLoad("testmod.dll", 1114);
    EXPECT_EQ(LoadLibraryA("testmod.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 1114u);
    win::ClearModuleFaults();
    win::FailModuleProc("testmod.dll", "Answer");
    HMODULE m = LoadLibraryA("testmod.dll");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetProcAddress(m, "Answer"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    FreeLibrary(m);
}

}  // namespace
