// The system's registry editor, for what its file format is for: exporting a tree and importing
// a file back exactly.
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

// How the registry editor ran.
struct RegEditRun {
    bool Started = false;
    bool Ended = false;   // within the wait
    DWORD ExitCode = 0;   // when it ended
};
// Starts "RegEdit.exe" through the shell with arguments in folder and waits up to waitMs for it.
RegEditRun RunRegEdit(const std::wstring& arguments, const std::wstring& folder, DWORD waitMs = 5000);

// Imports a registry-editor file silently ("/s"); true when the editor ended well.
bool ImportRegFile(const std::wstring& file, DWORD waitMs = 30000);

}  // namespace tidemark
