// Resources the program carries as files (helper libraries) written out for use, where another
// running copy of the program may still hold an earlier copy of the file open.
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

// Writes resource name of type type in module to path; true when path then holds exactly the
// resource's bytes, ready for use. A file already there is deleted first; when it cannot be
// (another copy of the program has it loaded), it stays, and the call succeeds only when it
// holds those same bytes: an older or foreign file is never passed off as the resource.
// leftOldFile, when given, tells whether a file that was there stayed. False as well when the
// resource is missing (nothing on disk is touched) or the write fails (no partial file stays).
bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                           const std::wstring& path, bool* leftOldFile = nullptr);

// The same for bytes already read (a deciphered resource): the file-side half of the above.
bool PlaceSealedBytes(const void* data, unsigned long size, const std::wstring& path, bool* leftOldFile = nullptr);

}  // namespace tidemark
