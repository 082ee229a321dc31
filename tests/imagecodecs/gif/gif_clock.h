// A painter clock for runs that must not wait: time moves by exactly what each wait asks, at once.
#pragma once

#include "imagecodecs/GifPicture.h"

namespace giftest {

class NoWaitClock : public TGIFPainterClock {
public:
    DWORD Now() override { return T; }
    DWORD WaitWake(HANDLE, DWORD ms) override {
        T += ms;
        return WAIT_TIMEOUT;
    }
    void WaitQueue(DWORD ms) override { T += ms; }
    DWORD T = 0;
};

}  // namespace giftest
