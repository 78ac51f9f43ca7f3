// The few process operations the engine needs before the full process snapshot exists: finding
// the shell's process by its image and ending it.
#pragma once

#include <cstdint>
#include <string>

namespace tidemark {

// The image path of a process (its first module), empty when it cannot be read.
std::wstring ProcessImagePath(std::uint32_t processId);
// The id of a process whose image is imagePath (compared without case); 0 when none runs.
std::uint32_t FindShellProcessId(const std::wstring& imagePath);
// Ends the process, but only while processId still names a process of that image: an id the
// system has given to another program since it was looked up is left alone (false).
bool EndProcessOfImage(std::uint32_t processId, const std::wstring& imagePath);

}  // namespace tidemark
