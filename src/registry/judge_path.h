// Whether a registry text names a file that is gone. Pure text logic: what the file system says
// about a path comes from a probe, so the judgement builds natively and is fuzzed.
#pragma once

#include <string>

namespace tidemark {

// What the file system says about one path.
enum class PathState {
    File,     // a file is there
    Folder,   // a folder is there
    Missing,  // "not found" on a drive that is present and fixed
    Unknown,  // anything else: a missing, removable or network drive, a refusal, a bad name
};

class PathProbe {
public:
    virtual ~PathProbe() = default;
    virtual PathState Probe(const std::wstring& path) = 0;
};

enum PathJudgement : int { PathUndecided = 0, PathExists = 1, PathMissing = 2 };

// 0 undecided, 1 the file exists, 2 the file is missing. Judged are a text that starts with a
// drive-letter path to a file with an extension (cut at the first character a name cannot hold),
// and a quoted drive-letter path wherever it stands (the quoted part; what follows is arguments).
// A command line whose file name is followed by a blank and arguments, or whose name holds ";",
// ",", "#" or a blank, is undecided: we cannot tell where the name ends. Only a "missing" answer
// on a present fixed drive counts as missing; a folder counts as existing.
int JudgePath(const std::wstring& text, PathProbe& probe);

}  // namespace tidemark
