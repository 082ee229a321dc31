// An outside event source joined to the queue's wait: its descriptors are polled with the queue's,
// its time limit shortens the wait, peeks serve it too, and a post from another thread still wakes
// a wait the source leaves unlimited.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/win/msgwait.h"
#include "platform/win/winuser.h"

namespace {

// A source over a pipe: ready when a byte is there; `limit` is the wait it asks for.
class PipeSource : public win::PollSource {
public:
    PipeSource() {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        readFd = fds[0];
        writeFd = fds[1];
    }
    ~PipeSource() {
        close(readFd);
        close(writeFd);
    }
    int Prepare(std::vector<pollfd>& fds) override {
        ++prepares;
        fds.push_back({readFd, POLLIN, 0});
        return limit;
    }
    bool Dispatch(const pollfd* fds, std::size_t count) override {
        ++dispatches;
        EXPECT_EQ(count, 1u);
        if (count == 1 && (fds[0].revents & POLLIN)) {
            char c;
            EXPECT_EQ(read(readFd, &c, 1), 1);
            ++served;
            return true;
        }
        return false;
    }
    int readFd = -1, writeFd = -1;
    int limit = -1;
    int prepares = 0, dispatches = 0, served = 0;
};

struct Joined {
    PipeSource source;
    win::PollSource* previous;
    Joined() { previous = win::SetPollSource(&source); }
    ~Joined() { win::SetPollSource(previous); }
};

TEST(PollSource, AReadyDescriptorEndsTheWaitAndIsDispatched) {
    Joined j;
    ASSERT_EQ(write(j.source.writeFd, "x", 1), 1);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0);
    EXPECT_EQ(j.source.served, 1);
    EXPECT_EQ(j.source.prepares, j.source.dispatches);
    // Nothing ready: the wait runs to its limit and every prepare still met its dispatch.
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(j.source.served, 1);
    EXPECT_EQ(j.source.prepares, j.source.dispatches);
}

TEST(PollSource, APeekServesTheSourceWithoutBlocking) {
    Joined j;
    ASSERT_EQ(write(j.source.writeFd, "x", 1), 1);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(j.source.served, 1);
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(j.source.served, 1);
    EXPECT_EQ(j.source.prepares, 2);
    EXPECT_EQ(j.source.dispatches, 2);
}

TEST(PollSource, TheSourcesLimitShortensAnEndlessWait) {
    Joined j;
    j.source.limit = 20;
    // The source's own time comes due: the poll returns, the source is asked, and the wait goes on
    // until input arrives (a post from another thread after a few of the source's turns).
    std::thread poster;
    const DWORD me = GetCurrentThreadId();
    auto start = std::chrono::steady_clock::now();
    poster = std::thread([me] {
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        PostThreadMessageA(me, WM_USER + 1, 0, 0);
    });
    WaitMessage();
    poster.join();
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(100));
    EXPECT_GE(j.source.dispatches, 3);  // asked again at each of its turns while waiting
    EXPECT_EQ(j.source.prepares, j.source.dispatches);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
}

}  // namespace
