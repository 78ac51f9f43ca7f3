// The window program's pump for long operations: pending window messages run at most every
// interval (about 15 ms), never per item, so a walk of a hundred thousand files costs the same
// with or without it and the window still answers within a frame.
#pragma once

#include <windows.h>

#include "core/engine_contract.h"

namespace tidemark {

class MessagePump final : public Pump {
public:
    explicit MessagePump(DWORD intervalMs = 15) : interval_(intervalMs), last_(GetTickCount()) {}

    void Poll() override {
        const DWORD now = GetTickCount();
        if (now - last_ < interval_) return;
        Drain(now);
    }

    // Runs every pending message now.
    void Drain() { Drain(GetTickCount()); }

    // The longest time between two runs of the queue, in milliseconds (what a user would feel).
    DWORD LongestGap() const { return longestGap_; }
    unsigned long Drains() const { return drains_; }
    // Time spent running the queue, in milliseconds (what the pump costs the operation).
    double DrainingMs() const;

private:
    void Drain(DWORD now);

    DWORD interval_;
    DWORD last_;
    DWORD longestGap_ = 0;
    unsigned long drains_ = 0;
    long long drainingTicks_ = 0;
};

}  // namespace tidemark
