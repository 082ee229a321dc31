// File descriptor watches served by the message-queue wait of the thread that owns them.
//
// A watch belongs to one thread's queue. Whenever that thread waits for messages (GetMessageA,
// WaitMessage, MsgWaitForMultipleObjects) or peeks (PeekMessageA polls without blocking), the layer
// polls the watched descriptors and calls each ready watch's callback on that thread. The wait
// for the answer to a cross-thread SendMessageA serves no watches. Watches are level-triggered: a
// callback that does not want to be called again must clear its events with SetFdEvents.
//
// A callback may peek or wait itself; that nested look serves the other watches but never the
// watch whose callback is running, so a callback is not re-entered.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/win/wintypes.h"

namespace win {

using FdCallback = std::function<void(int fd, short revents)>;

// Watches fd on the queue of the thread that owns `window` (the calling thread when window is null).
// Returns an id > 0, or 0 when the window does not exist.
int WatchFd(HWND window, int fd, short events, FdCallback callback);
// Changes the poll events (POLLIN, POLLOUT, ...) of a watch; 0 suspends it. Safe from any thread.
void SetFdEvents(int watchId, short events);
// Removes a watch; its callback is never called afterwards. Safe from any thread and from callbacks.
void UnwatchFd(int watchId);

}  // namespace win

struct pollfd;

namespace win {

// An outside event source joined to one thread's queue wait (a toolkit's main context), so that its
// events, the thread's messages, timers and watches are served by one poll. Every look of the queue
// (a peek, or a wait for messages) asks the source: Prepare adds the descriptors it wants polled and
// returns the longest the poll may block in milliseconds (-1: no limit of its own, 0: it has events
// ready now); after the poll Dispatch gets the same descriptors with their results (in the order
// Prepare added them) and runs what became ready, returning true when something ran. Every
// Prepare is followed by its Dispatch. Dispatch may look at the queue again (nested): the source
// must allow that.
class PollSource {
public:
    virtual int Prepare(std::vector<pollfd>& fds) = 0;
    virtual bool Dispatch(const pollfd* fds, std::size_t count) = 0;

protected:
    ~PollSource() = default;
};

// Joins `source` to the calling thread's queue (nullptr: leaves it); returns the previous one. The
// caller keeps ownership and leaves before the source goes away.
PollSource* SetPollSource(PollSource* source);

}  // namespace win
