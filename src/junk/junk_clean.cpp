#include "junk/junk_clean.h"

#include <windows.h>

#include <algorithm>

#include "system/file_ops.h"
#include "system/recycle_file.h"

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

bool JunkPathThroughReparsePoint(const std::wstring& path) {
    std::size_t start;
    if (path.rfind(L"\\\\", 0) == 0) {
        const std::size_t server = path.find(L'\\', 2);
        start = server == std::wstring::npos ? std::wstring::npos : path.find(L'\\', server + 1);
    } else {
        start = path.find(L'\\');
    }
    if (start == std::wstring::npos) return false;
    const std::size_t last = path.find_last_of(L'\\');
    for (std::size_t slash = path.find(L'\\', start + 1); slash != std::wstring::npos && slash <= last;
         slash = path.find(L'\\', slash + 1)) {
        const DWORD attributes = GetFileAttributesW(ExtendedPath(path.substr(0, slash)).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return false;  // nothing further exists
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return true;
    }
    return false;
}

Outcome CleanJunkFile(const std::wstring& path, JunkMethod method) {
    const std::wstring target = ExtendedPath(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) || JunkPathThroughReparsePoint(path))
        return Outcome::Missing;
    // Attributes cleared so that read-only, hidden and system files go too.
    const bool cleared = SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
    auto restore = [&] {
        if (cleared) SetFileAttributesW(target.c_str(), attributes);
    };
    if (method == JunkMethod::Recycle) {
        if (RecycleFile(path)) return Outcome::Recycled;
        restore();
        return Outcome::Failed;
    }
    if (DeleteFileW(target.c_str())) return Outcome::Done;
    // Scheduled for the restart with its attributes still cleared, so that the deletion at boot
    // is not refused for a read-only file; when even that fails, the file is as it was.
    if (DeleteAtReboot(path)) return Outcome::Deferred;
    restore();
    return Outcome::Failed;
}

JunkCleanTotals CleanJunkFiles(const JunkScanResult& result, const std::vector<std::uint32_t>& order, JunkMethod method,
                               const Operation<JunkCleanRecord>& run) {
    JunkCleanTotals totals;
    for (const std::uint32_t index : order) {
        run.pump.Poll();
        if (run.stop.Requested()) {
            totals.stopped = true;
            break;
        }
        if (index >= result.files.size()) continue;
        const std::wstring path = result.FullPath(index);
        const Outcome outcome = CleanJunkFile(path, method);
        switch (outcome) {
            case Outcome::Done: ++totals.deleted; break;
            case Outcome::Recycled: ++totals.recycled; break;
            case Outcome::Deferred: ++totals.reboot; break;
            case Outcome::Missing: ++totals.missing; break;
            default: ++totals.failed; break;
        }
        if (outcome != Outcome::Missing) ++totals.attempted;
        if (method == JunkMethod::Direct && (outcome == Outcome::Deferred || outcome == Outcome::Failed))
            totals.rebootList.push_back(index);
        run.sink.Processed(JunkCleanRecord{result, index}, outcome);
    }
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
