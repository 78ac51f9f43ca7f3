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

}  // namespace tidemark
