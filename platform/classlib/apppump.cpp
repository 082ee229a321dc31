#include "platform/classlib/apppump.h"

#include "platform/classlib/application.h"

bool ProcessApplicationQueue() {
    if (!Application) return false;
    Application->ProcessMessages();
    return true;
}

bool ApplicationQueueTerminated() { return Application && Application->Terminated(); }
