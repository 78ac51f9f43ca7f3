// Service control by service (key) name. A service that does not exist counts as stopped and
// as deleted.
#pragma once

#include <string>

#include "system/handles.h"

namespace tidemark {

// The local service manager's active database with full access; empty on failure.
UniqueScHandle OpenServiceManager();
bool StopServiceByName(const std::wstring& name);
bool DeleteServiceWith(SC_HANDLE manager, const std::wstring& name);

// What a detection learns of a service, opened with the access its removal needs: one that does
// not open counts as absent; one whose status cannot be queried is present in an unknown state.
enum class ServicePresence { Absent, Stopped, Running, Unknown };
ServicePresence QueryServicePresence(SC_HANDLE manager, const std::wstring& name);

}  // namespace tidemark
