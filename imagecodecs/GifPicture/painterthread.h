// What the picture needs to know of the painter threads: whether the calling thread is one, and
// the notifications made there, which the painter hands to the user-interface thread.
#pragma once

#include <functional>
#include <vector>

namespace gifpainter {

bool OnPainterThread();
void MarkPainterThread(bool on);
// Keeps a notification made on a painter's thread for the user-interface thread.
void Defer(std::function<void()> notification);
// The notifications kept on this thread since the last call, oldest first.
std::vector<std::function<void()>> TakeDeferred();

}  // namespace gifpainter
