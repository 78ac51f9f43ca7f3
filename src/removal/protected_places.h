// The places the removal guard protects on the running system, and the link test of the paths
// the program removes.
#pragma once

#include <string>

#include "removal/removal_guard.h"

namespace tidemark {

// The folders of the running system: the Windows folder with system32, SysWOW64 and WinSxS (each
// with every folder below it), Fonts and inf; the program-files and common-files folders (both
// kinds on 64-bit Windows); the folder of the user profiles and every profile root the system
// lists, with their documents and application-data folders. A folder the system does not report
// is simply not listed. No system files: the engine adds its list (ProtectedPlacesOfSystem).
ProtectedPlaces ProtectedFoldersOfSystem();

// True when a step of path before its last one is a reparse point (a junction or symbolic link):
// removing through it would reach whatever the link points to. The last step may be a link; the
// removal service removes such a link itself.
bool ReachedThroughReparsePoint(const std::wstring& path);

}  // namespace tidemark
