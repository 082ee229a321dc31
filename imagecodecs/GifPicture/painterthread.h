// What the picture needs to know of the painter threads: whether the calling thread is one, and
// the change notifications noted there for the painter to hand to the user-interface thread.
#pragma once

namespace gifpainter {

bool OnPainterThread();
void MarkPainterThread(bool on);
// Notes a change on a painter's thread.
void NoteChange();
// True once when a change was noted on this thread since the last call.
bool TakeChange();

}  // namespace gifpainter
