// The junk deletion: removes the files a scan listed through the removal service, directly or
// into the recycle bin; a file that cannot be deleted directly is left for the next restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "junk/junk_scan.h"
#include "removal/removal_service.h"

namespace tidemark {

enum class JunkMethod { Direct, Recycle };
// The stored "DirectDel": 0 deletes directly, any other value uses the recycle bin.
JunkMethod JunkMethodOfSetting(std::int32_t directDel);
// How the removal service removes a junk file: Direct deletes now or at the next restart;
// Recycle moves it into the bin and never deletes it for good (a file the bin would not keep
// stays, Failed).
FileRemovalOptions JunkRemovalOptions(JunkMethod method);

// One record of a clean (Sink::Processed with its outcome: Listed in a preview; Done,
// Recycled, Deferred, Missing, Refused or Failed in a clean).
struct JunkCleanRecord {
    const JunkScanResult& result;
    std::size_t index;  // into result.files
};

struct JunkCleanTotals {
    std::uint64_t listed = 0;     // a preview: the records it listed
    std::uint64_t attempted = 0;  // files that were there, allowed, and were tried
    std::uint64_t deleted = 0, recycled = 0, reboot = 0, failed = 0, missing = 0;
    std::uint64_t refused = 0;  // the removal guard refused them (a link on the way, a protected place)
    bool stopped = false;
    // Files whose direct deletion failed, in the order met (the restart-deletion list), whether
    // or not the system took the restart deletion.
    std::vector<std::uint32_t> rebootList;
    std::uint64_t Cleaned() const { return deleted + recycled; }
};

// Every listed file, group by group in the groups' order, each group's files in the order found.
std::vector<std::uint32_t> FilesInGroupOrder(const JunkScanResult& result);

// The records a clean of order is offered: one per index that names a listed file, in order.
std::vector<JunkCleanRecord> JunkCleanRecords(const JunkScanResult& result, const std::vector<std::uint32_t>& order);

// One walk (core/engine_contract.h) over JunkCleanRecords(result, order): a preview lists each
// record and touches nothing; a clean hands each file to service.RemoveFile by method. The stop
// token is tested before every file and the pump polled after it. What the service refuses (a
// junction or link on the way, a protected place) is Refused and left alone; a file that stays
// keeps its attributes.
JunkCleanTotals CleanJunkFiles(const JunkScanResult& result, const std::vector<std::uint32_t>& order, JunkMethod method,
                               const Operation<JunkCleanRecord>& run, WalkMode mode = WalkMode::Apply,
                               const RemovalService& service = ProcessRemovalService());

// The progress bar of a clean: W pixels wide, n files, starting one pixel wide. With W < n it
// grows one pixel after every n / W files, else by W / n pixels per file, never past W.
class CleanProgressBar {
public:
    CleanProgressBar(int width, std::uint64_t files);
    void Advance();  // one more file processed
    void Finish();   // a full bar
    int Width() const { return bar_; }
    int Percent() const { return static_cast<int>(static_cast<std::int64_t>(bar_) * 100 / width_); }

private:
    int width_;
    int bar_ = 1;
    std::uint64_t filesPerPixel_ = 0;  // 0: pixelsPerFile_ pixels per file
    int pixelsPerFile_ = 0;
    std::uint64_t sinceLast_ = 0;
};

}  // namespace tidemark
