// Moving a file to the recycle bin through the shell.
#pragma once

#include <string>

namespace tidemark {

// Moves the file at path to the recycle bin, silently (no confirmation, progress or error
// window). False, without asking the shell, when the file exists but another program holds it
// (it cannot be opened for reading and writing without sharing), and when the shell cannot take
// the path exactly (wildcards, a relative path, a path that needs the \\?\ form, a drive root).
// True when the shell reports success.
bool RecycleFile(const std::wstring& path);

// Would the recycle bin of path's drive keep a file of size bytes rather than destroy it? False
// when the drive has no bin, its bin is set to delete at once, or the file is larger than the bin
// may grow (the shell would then delete it for good without asking, as it does with FOF_NOCONFIRMATION).
bool RecycleBinKeeps(const std::wstring& path, unsigned long long size);

// The bin's settings as the system keeps them, and the judgement on them (pure).
struct RecycleBinSettings {
    bool HasBin = false;
    bool NukeOnDelete = false;
    unsigned long long Capacity = 0;  // bytes; 0 when unknown (no limit is applied)
};
bool RecycleBinKeepsFile(const RecycleBinSettings& bin, unsigned long long size);

}  // namespace tidemark
