// Fuzz entry point for the path judgement: the first byte chooses how the file system answers,
// the rest is the registry text, each byte one character.
#include <cstddef>
#include <cstdint>
#include <string>

#include "registry/judge_path.h"

using namespace tidemark;

namespace {

class FuzzProbe final : public PathProbe {
public:
    explicit FuzzProbe(std::uint8_t seed) : seed_(seed) {}
    PathState Probe(const std::wstring& path) override {
        // Every path asked holds a drive separator.
        if (path.find(L":\\") == std::wstring::npos) __builtin_trap();
        probed_ = path;
        const auto state = static_cast<PathState>((seed_ + path.size()) % 4);
        missingSaid_ = missingSaid_ || state == PathState::Missing;
        return state;
    }
    bool missingSaid_ = false;
    std::wstring probed_;

private:
    std::uint8_t seed_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::wstring text;
    for (std::size_t i = 1; i < size; ++i) text.push_back(static_cast<wchar_t>(data[i]));
    FuzzProbe probe(data[0]);
    const int verdict = JudgePath(text, probe);
    if (verdict < PathUndecided || verdict > PathMissing) __builtin_trap();
    // Missing only on the file system's word, and only for a text with a drive path and a dot.
    if (verdict == PathMissing &&
        (!probe.missingSaid_ || text.find(L":\\") == std::wstring::npos || text.find(L'.') == std::wstring::npos))
        __builtin_trap();
    if (text.find(L":\\") == std::wstring::npos && verdict != PathUndecided) __builtin_trap();
    // A verdict on a part of the text is a verdict on a drive-letter path.
    if (verdict != PathUndecided && probe.probed_ != text &&
        (probe.probed_.size() < 3 || probe.probed_[1] != L':' || probe.probed_[2] != L'\\' ||
         !((probe.probed_[0] | 0x20) >= L'a' && (probe.probed_[0] | 0x20) <= L'z')))
        __builtin_trap();
    return 0;
}
