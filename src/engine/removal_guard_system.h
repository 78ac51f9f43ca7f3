// The places the removal guard protects on the running system, and the reparse-point test of
// the paths the engine deletes.
#pragma once

#include <windows.h>

#include <string>

#include "removal/protected_places.h"
#include "removal/removal_guard.h"

namespace tidemark {

// The folders of ProtectedFoldersOfSystem and the files of the system-file list the program
// carries for this Windows kind (module's resources; null: the program's own).
ProtectedPlaces ProtectedPlacesOfSystem(HMODULE module);

// The resource name of the system-file list for a Windows kind ("WTXP" for kinds it has none for).
const wchar_t* SystemFileListName(int windowsKind);

}  // namespace tidemark
