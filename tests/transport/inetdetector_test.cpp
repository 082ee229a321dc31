// The connectivity watcher against the resolver's test name table and a seeded machine registry:
// the local check, the dial-up value, two change events per change, and its timer driven by the
// message loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classlib/application.h"
#include "platform/classlib/headless.h"
#include "platform/registry/registry.h"
#include "platform/win/winuser.h"
#include "platform/winsock/winsock.h"
#include "support/tempstate.h"
#include "transport/INetDetector.h"
#include "transport/peers.h"

namespace {

const std::string kKey = "System\\CurrentControlSet\\Services\\RemoteAccess";
const std::string kHost = "tolvar-box";

class Watcher : public ::testing::Test {
protected:
    void SetUp() override { winsock::SetTestHostName(kHost); }
    void TearDown() override {
        winsock::SetTestHostName("");
        winsock::ClearTestHosts();
    }
    // The machine's own name resolves to these addresses (none: the lookup fails).
    void OwnAddresses(const std::vector<std::string>& addrs) {
        if (addrs.empty()) winsock::SetTestHosts({});
        else winsock::SetTestHosts({{kHost, {addrs, 0, 0}}});
    }
    void DialUp(const std::string& fourBytes) {
        ASSERT_EQ(reg::SeedMachineValue(kKey, "Remote Connection", REG_BINARY, fourBytes), ERROR_SUCCESS);
    }
    void DialUpKeyOnly() { ASSERT_EQ(reg::SeedMachineValue(kKey, "Other", REG_DWORD, std::string(4, '\0')), ERROR_SUCCESS); }

    // The watcher with its timer stopped, and a log of (Online) at each OnChanged.
    std::unique_ptr<TINetDetector> Make() {
        auto w = std::make_unique<TINetDetector>(nullptr);
        w->SetEnabled(false);
        w->OnChanged = [this, p = w.get()](TObject* s) {
            EXPECT_EQ(s, p);
            changes.push_back(p->Online());
        };
        return w;
    }

    testsupport::TempState state_;
    std::vector<bool> changes;
};

}  // namespace

TEST_F(Watcher, DecidesFromTheOwnAddressAndTheDialUpValue) {
    struct Case {
        const char* what;
        std::vector<std::string> addrs;
        int dialUp;  // -1 no key, -2 key without the value, else the first byte
        bool online;
    } cases[] = {
        {"only the loopback address, no key", {"127.0.0.1"}, -1, false},
        {"a real address, no key", {"192.168.5.7"}, -1, true},
        {"the last address counts", {"192.168.5.7", "127.0.0.1"}, -1, false},
        {"loopback first, a real one last", {"127.0.0.1", "10.0.0.2"}, -1, true},
        {"the lookup fails", {}, -1, false},
        {"dial-up connected beats a failed lookup", {}, 1, true},
        {"dial-up value 0 leaves the local check", {"127.0.0.1"}, 0, false},
        {"dial-up value 0 and a real address", {"10.0.0.2"}, 0, true},
        {"key without the value: the local check decides", {"10.0.0.2"}, -2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TempState fresh;  // a machine registry of its own
        OwnAddresses(c.addrs);
        if (c.dialUp >= 0) DialUp(std::string(1, static_cast<char>(c.dialUp)) + std::string(3, '\0'));
        if (c.dialUp == -2) DialUpKeyOnly();
        EXPECT_EQ(TINetDetector::LocalCheck(), !c.addrs.empty() && c.addrs.back() != "127.0.0.1");
        auto w = Make();
        w->Poll();
        EXPECT_EQ(w->Online(), c.online);
    }
}

TEST_F(Watcher, AChangeFiresTwiceInTheTickAndStayingFiresNothing) {
    OwnAddresses({"10.0.0.2"});
    auto w = Make();
    EXPECT_FALSE(w->Online()) << "false until the first tick";
    w->SetOnline(true);
    EXPECT_FALSE(w->Online()) << "writing Online changes nothing";
    w->Poll();
    EXPECT_EQ(changes, (std::vector<bool>{true, true}));
    w->Poll();
    EXPECT_EQ(changes.size(), 2u) << "staying online fires nothing";

    // Going offline through the local check while the dial-up value says connected: the first step
    // says offline, the second online again, both compared with the value before the tick.
    OwnAddresses({"127.0.0.1"});
    DialUp(std::string("\x01\0\0\0", 4));
    changes.clear();
    w->Poll();
    EXPECT_EQ(changes, (std::vector<bool>{false})) << "the second step is back at the value before the tick";
    EXPECT_TRUE(w->Online());
}

TEST_F(Watcher, GoingOfflineFiresTwice) {
    OwnAddresses({"10.0.0.2"});
    auto w = Make();
    w->Poll();
    changes.clear();
    OwnAddresses({"127.0.0.1"});
    w->Poll();
    EXPECT_EQ(changes, (std::vector<bool>{false, false}));
}

TEST_F(Watcher, TheTimerTicksThroughTheMessageLoopAndIntervalZeroStopsIt) {
    OwnAddresses({"10.0.0.2"});
    auto w = Make();
    w->SetDispatchInterval(20);
    w->SetEnabled(true);
    ASSERT_TRUE(testpeers::PumpUntil([&] { return w->Online(); }, 3000)) << "a tick came through the queue";
    EXPECT_EQ(changes.size(), 2u);

    w->SetDispatchInterval(0);
    OwnAddresses({"127.0.0.1"});
    testpeers::PumpFor(150);
    EXPECT_TRUE(w->Online()) << "no tick while the interval is 0";
    w->SetDispatchInterval(20);
    ASSERT_TRUE(testpeers::PumpUntil([&] { return !w->Online(); }, 3000)) << "a non-zero interval restarts it";

    w->SetEnabled(false);
    OwnAddresses({"10.0.0.2"});
    testpeers::PumpFor(150);
    EXPECT_FALSE(w->Online()) << "no tick while disabled";
}

TEST_F(Watcher, AnExceptionInATickGoesToTheErrorBoxAndTheTimerGoesOn) {
    headless::TSession session;
    OwnAddresses({"10.0.0.2"});
    auto w = std::make_unique<TINetDetector>(nullptr);
    w->SetEnabled(false);
    int calls = 0;
    w->OnChanged = [&](TObject*) {
        ++calls;
        throw Exception("watcher handler failed");
    };
    w->Poll();
    EXPECT_EQ(calls, 1) << "the exception ends the tick";
    ASSERT_FALSE(headless::Headless().Boxes().empty());
    EXPECT_EQ(headless::Headless().Boxes().back().Text, "watcher handler failed");
    EXPECT_EQ(headless::Headless().Boxes().back().Icon, "error");
}
