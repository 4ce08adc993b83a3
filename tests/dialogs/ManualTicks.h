#pragma once

#include "dialogs/TickSource.h"

// Ticks the test fires itself, so no test waits on the clock.
class ManualTicks : public tolva::TickSource {
public:
    int interval = 0;
    bool running = false;
    void start(int intervalMs) override {
        interval = intervalMs;
        running = true;
    }
    void stop() override { running = false; }
    void fire() {
        if (running)
            emit ticked();
    }
};
