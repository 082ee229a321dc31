// File descriptor watches served by the message-queue wait of the thread that owns them.
//
// A watch belongs to one thread's queue. Whenever that thread waits for messages (GetMessageA,
// WaitMessage, MsgWaitForMultipleObjects) or peeks, the layer polls the watched descriptors and
// calls each ready watch's callback on that thread. A peek polls them when it finds no message,
// and otherwise at most every half millisecond, so a ready descriptor is served even while the
// queue never runs dry. The wait
// for the answer to a cross-thread SendMessageA serves no watches. Watches are level-triggered: a
// callback that does not want to be called again must clear its events with SetFdEvents.
//
// A callback may peek or wait itself; that nested look serves the other watches but never the
// watch whose callback is running, so a callback is not re-entered.
#pragma once

#include <functional>

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
