// The places the removal guard protects on the running system, and the reparse-point test of
// the paths the engine deletes.
#pragma once

#include <windows.h>

#include <string>

#include "engine/removal_guard.h"

namespace tidemark {

// The Windows, system and program-files folders, the folder of the user profiles and every
// profile root the system lists (the session user's, "All Users", the default user's), and the
// files of the system-file list the program carries for this Windows kind (module's resources;
// null: the program's own). A folder the system does not report is simply not listed.
ProtectedPlaces ProtectedPlacesOfSystem(HMODULE module);

// The resource name of the system-file list for a Windows kind ("WTXP" for kinds it has none for).
const wchar_t* SystemFileListName(int windowsKind);

// True when a step of path before its last one is a reparse point (a junction or symbolic link):
// deleting through it would reach whatever the link points to. The last step may be a link; the
// primitives remove such a link itself.
bool ReachedThroughReparsePoint(const std::wstring& path);

}  // namespace tidemark
