#include "system/change_recorder.h"

namespace tidemark {

namespace {
ChangeRecorder*& Active() {
    static ChangeRecorder* active = nullptr;
    return active;
}
}  // namespace

ChangeRecorder* ActiveChangeRecorder() { return Active(); }

ChangeRecorder* SetActiveChangeRecorder(ChangeRecorder* recorder) {
    ChangeRecorder* previous = Active();
    Active() = recorder;
    return previous;
}

bool RecordValueWrite(HKEY root, const std::wstring& key, const std::wstring& name) {
    return !Active() || Active()->BeforeValueWrite(root, key, name);
}

bool RecordKeyTreeWrite(HKEY root, const std::wstring& key) { return !Active() || Active()->BeforeKeyTreeWrite(root, key); }

bool RecordFileRewrite(const std::wstring& path) { return !Active() || Active()->BeforeFileRewrite(path); }

}  // namespace tidemark
