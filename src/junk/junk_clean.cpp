#include "junk/junk_clean.h"

#include <algorithm>

namespace tidemark {

JunkMethod JunkMethodOfSetting(std::int32_t directDel) {
    return directDel == 0 ? JunkMethod::Direct : JunkMethod::Recycle;
}

std::vector<std::uint32_t> FilesInGroupOrder(const JunkScanResult& result) {
    std::vector<std::uint32_t> order;
    order.reserve(result.files.size());
    for (const JunkGroup& group : result.groups) order.insert(order.end(), group.files.begin(), group.files.end());
    return order;
}

std::vector<JunkCleanRecord> JunkCleanRecords(const JunkScanResult& result, const std::vector<std::uint32_t>& order) {
    std::vector<JunkCleanRecord> records;
    records.reserve(order.size());
    for (const std::uint32_t index : order)
        if (index < result.files.size()) records.push_back(JunkCleanRecord{result, index});
    return records;
}

FileRemovalOptions JunkRemovalOptions(JunkMethod method) {
    FileRemovalOptions options;
    options.Method = method == JunkMethod::Recycle ? FileMethod::Recycle : FileMethod::RestartIfHeld;
    return options;
}

JunkCleanTotals CleanJunkFiles(const JunkScanResult& result, const std::vector<std::uint32_t>& order, JunkMethod method,
                               const Operation<JunkCleanRecord>& run, WalkMode mode, const RemovalService& service) {
    JunkCleanTotals totals;
    const FileRemovalOptions options = JunkRemovalOptions(method);
    const std::vector<JunkCleanRecord> records = JunkCleanRecords(result, order);
    const WalkTotals walked = Walk(records, mode, run, [&](const JunkCleanRecord& record) {
        const Outcome outcome = service.RemoveFile(result.FullPath(record.index), options).Result;
        if (outcome != Outcome::Missing && outcome != Outcome::Refused) ++totals.attempted;
        if (method == JunkMethod::Direct && (outcome == Outcome::Deferred || outcome == Outcome::Failed))
            totals.rebootList.push_back(static_cast<std::uint32_t>(record.index));
        return outcome;
    });
    totals.listed = walked.listed;
    totals.deleted = walked.done;
    totals.recycled = walked.recycled;
    totals.reboot = walked.deferred;
    totals.failed = walked.failed;
    totals.missing = walked.missing;
    totals.refused = walked.refused;
    totals.stopped = walked.stopped;
    return totals;
}

CleanProgressBar::CleanProgressBar(int width, std::uint64_t files) : width_(std::max(width, 1)) {
    if (files == 0) return;
    if (static_cast<std::uint64_t>(width_) < files)
        filesPerPixel_ = files / static_cast<std::uint64_t>(width_);
    else
        pixelsPerFile_ = static_cast<int>(static_cast<std::uint64_t>(width_) / files);
}

void CleanProgressBar::Advance() {
    if (bar_ >= width_) return;
    if (filesPerPixel_ > 0) {
        if (++sinceLast_ < filesPerPixel_) return;
        sinceLast_ = 0;
        bar_ += 1;
    } else {
        bar_ += pixelsPerFile_;
    }
    bar_ = std::min(bar_, width_);
}

void CleanProgressBar::Finish() { bar_ = width_; }

}  // namespace tidemark
