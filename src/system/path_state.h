// What the file system says about one path, for judgements that report a file as gone: only a
// "not found" answer on a drive that is present and fixed counts as missing.
#pragma once

#include <array>
#include <string>

namespace tidemark {

enum class FsAnswer { File, Folder, Missing, Unknown };

class PathStateReader {
public:
    // A drive letter's type is asked once per reader (a reader lives for one scan).
    FsAnswer Read(const std::wstring& path);

private:
    bool FixedDrive(wchar_t letter);
    std::array<signed char, 26> fixed_{};  // 0 not asked yet, 1 fixed, -1 anything else
};

}  // namespace tidemark
