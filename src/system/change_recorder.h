// What records a change of the system's configuration before it is made: the undo journal,
// while a cleaning run is recorded. The writers of configuration (the repairs' value writes,
// the hosts fix, the WinSock2 catalogue import) ask the active recorder first; when it answers
// false the change is not made.
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

class ChangeRecorder {
public:
    virtual ~ChangeRecorder() = default;
    // A value about to be written over (or created: then what is recorded is its absence).
    virtual bool BeforeValueWrite(HKEY root, const std::wstring& key, const std::wstring& name) = 0;
    // A key tree about to be written over as a whole (an import).
    virtual bool BeforeKeyTreeWrite(HKEY root, const std::wstring& key) = 0;
    // A file about to be rewritten in place.
    virtual bool BeforeFileRewrite(const std::wstring& path) = 0;
};

// The recorder of the process (null: none records, every change is made).
ChangeRecorder* ActiveChangeRecorder();
// Installs recorder (null: none); answers the one it replaces.
ChangeRecorder* SetActiveChangeRecorder(ChangeRecorder* recorder);

// The same questions, answered true when no recorder is active.
bool RecordValueWrite(HKEY root, const std::wstring& key, const std::wstring& name);
bool RecordKeyTreeWrite(HKEY root, const std::wstring& key);
bool RecordFileRewrite(const std::wstring& path);

}  // namespace tidemark
