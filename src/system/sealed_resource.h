// Resources the program carries as files (helper libraries) written out for use, where another
// running copy of the program may still hold an earlier copy of the file open.
#pragma once

#include <windows.h>

#include <string>

namespace tidemark {

// Writes resource name of type type in module to path. A file already there is deleted first;
// when it cannot be deleted (another copy of the program has it loaded), it is kept and used,
// and the call succeeds. False when the resource is missing (nothing on disk is touched) or the
// write fails (no partial file stays behind).
bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                           const std::wstring& path);

}  // namespace tidemark
