// What every long operation (a scan, a clean) receives from whoever runs it: a sink for what it
// finds and does, a pump that lets the window breathe, and a stop token. Engines take these as
// arguments; they never reach into the window program, and they run the same way under the
// window, the console program and the tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tidemark {

// Set by a stop or cancel button, or by closing; loops test it between items. The test is one
// plain load, cheap enough for every item.
class StopToken {
public:
    StopToken() = default;
    // A copy carries the state (a front end's state record is reset by assignment).
    StopToken(const StopToken& other) : requested_(other.Requested()) {}
    StopToken& operator=(const StopToken& other) {
        requested_.store(other.Requested(), std::memory_order_relaxed);
        return *this;
    }
    void Request() { requested_.store(true, std::memory_order_relaxed); }
    void Reset() { requested_.store(false, std::memory_order_relaxed); }
    bool Requested() const { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};

// Lets pending window messages run between items. Poll is called per item and must cost next
// to nothing when there is nothing to do: a pump decides by time, never per item, when to run
// the message queue.
class Pump {
public:
    virtual ~Pump() = default;
    virtual void Poll() = 0;
};

// Tests and the console program: nothing to pump.
class NullPump final : public Pump {
public:
    void Poll() override {}
};

// The fate of one record in a walk.
enum class Outcome {
    Listed,    // preview: the record as the scan found it
    Done,      // removed (deleted, cleaned)
    Recycled,  // moved to the recycle bin
    Deferred,  // could not be removed now; it goes at the next restart
    Missing,   // gone since the scan, or no longer what the scan saw
    Refused,   // a guard refused it (a root, a protected folder, a reparse point ...)
    Failed,    // the system refused it
};
const char* OutcomeName(Outcome outcome);  // "listed", "deleted", "recycled", "reboot", ...

// A failure that belongs to no record (a folder that could not be read, say).
struct Failure {
    std::wstring item;
    unsigned long error = 0;  // the system's error code, 0 when there is none
};

// Progress for labels and counters. Sinks that show it refresh at a human rate themselves.
struct Progress {
    std::wstring current;  // what is being looked at now
    std::uint64_t done = 0;
    std::uint64_t total = 0;  // 0 when unknown
};

// Where a long operation reports. Every method has a default that ignores the report, so a
// caller implements only what it shows.
template <typename Record>
class Sink {
public:
    virtual ~Sink() = default;
    virtual void Found(const Record&) {}
    virtual void Processed(const Record&, Outcome) {}
    virtual void Failed(const Failure&) {}
    virtual void Progressed(const Progress&) {}
};

// What one walk did.
struct WalkTotals {
    std::uint64_t listed = 0, done = 0, recycled = 0, deferred = 0, missing = 0, refused = 0,
                  failed = 0;
    bool stopped = false;
    std::uint64_t Processed() const { return listed + done + recycled + deferred + missing + refused + failed; }
    void Count(Outcome outcome);
};

// The whole context of one long operation.
template <typename Record>
struct Operation {
    Sink<Record>& sink;
    Pump& pump;
    const StopToken& stop;
};

enum class WalkMode { Preview, Apply };

// Preview and clean are one walk over the same records, in the same order (what a scan listed
// is exactly what a clean is offered): Preview reports each record as listed, Apply hands it to
// apply and reports the outcome apply gives. The stop token is tested before every record and
// the pump polled after it.
template <typename Record, typename Apply>
WalkTotals Walk(const std::vector<Record>& records, WalkMode mode, const Operation<Record>& run, Apply&& apply) {
    WalkTotals totals;
    for (const Record& record : records) {
        if (run.stop.Requested()) {
            totals.stopped = true;
            break;
        }
        const Outcome outcome = mode == WalkMode::Preview ? Outcome::Listed : apply(record);
        totals.Count(outcome);
        run.sink.Processed(record, outcome);
        run.pump.Poll();
    }
    return totals;
}

}  // namespace tidemark
