// Opening the registry editor at a key, through the helper library cleanreg.dll the program
// carries as resource REGHLPS. UI thread only.
#pragma once

#include <string>

namespace tidemark {

// Asks the helper to open the registry editor at path ("HKCU\Software\..." or a long root
// name). The first call writes the helper to the temporary folder and loads it; it stays
// loaded until ReleaseRegistryJump. True when the helper was called and returned; false when it
// could not be written or loaded (the next call tries again) or faulted (loading and the call
// are guarded, see system/guarded_call.h). Key names the ANSI code page cannot spell are
// left off, with everything after them: the editor opens at the nearest key it can reach.
// Takes about a second per key name: the editor's type-ahead needs a pause between names.
bool JumpToRegistryKey(const std::wstring& path);

// Unloads the helper and deletes its file, also one that was written but would not load.
// Called once, when the program ends.
void ReleaseRegistryJump();

}  // namespace tidemark
