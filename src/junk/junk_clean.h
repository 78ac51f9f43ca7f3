// The junk deletion: removes the files a scan listed, directly or into the recycle bin; a file
// that cannot be deleted directly is scheduled for deletion at the next restart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "junk/junk_scan.h"

namespace tidemark {

enum class JunkMethod { Direct, Recycle };
// The stored "DirectDel": 0 deletes directly, any other value uses the recycle bin.
JunkMethod JunkMethodOfSetting(std::int32_t directDel);

// What a clean reports per file (Sink::Processed with its outcome: Done, Recycled, Deferred,
// Missing, Failed).
struct JunkCleanRecord {
    const JunkScanResult& result;
    std::size_t index;  // into result.files
};

struct JunkCleanTotals {
    std::uint64_t attempted = 0;  // files that were there and were tried
    std::uint64_t deleted = 0, recycled = 0, reboot = 0, failed = 0, missing = 0;
    bool stopped = false;
    // Files whose direct deletion failed, in the order met (the restart-deletion list), whether
    // or not the system took the restart deletion.
    std::vector<std::uint32_t> rebootList;
    std::uint64_t Cleaned() const { return deleted + recycled; }
};

// Every listed file, group by group in the groups' order, each group's files in the order found.
std::vector<std::uint32_t> FilesInGroupOrder(const JunkScanResult& result);

// Processes the files named by order (indexes into result.files). Before each file the pump runs
// and the stop token is tested. A file is touched only when its path still names a plain file
// (no folder, no link) reached without passing a junction or link; anything else counts as
// missing. Its attributes are cleared first; a file that stays where it was gets them back.
JunkCleanTotals CleanJunkFiles(const JunkScanResult& result, const std::vector<std::uint32_t>& order, JunkMethod method,
                               const Operation<JunkCleanRecord>& run);

// The outcome for one path (what CleanJunkFiles does per file).
Outcome CleanJunkFile(const std::wstring& path, JunkMethod method);

// True when a folder on the way to path (below its root, up to its parent) is a junction or link.
bool JunkPathThroughReparsePoint(const std::wstring& path);

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
