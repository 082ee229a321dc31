// The application object's pump for code that cannot include the forms headers (the socket units
// have a message type of their own).
#pragma once

// Application->ProcessMessages(); false when there is no application object.
bool ProcessApplicationQueue();
// Application->Terminated(); false when there is no application object.
bool ApplicationQueueTerminated();
