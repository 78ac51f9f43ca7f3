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

}  // namespace tidemark
