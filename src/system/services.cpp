#include "system/services.h"

namespace tidemark {
namespace {

bool IsMissingService(DWORD error) {
    return error == ERROR_INVALID_NAME || error == ERROR_SERVICE_DOES_NOT_EXIST;
}

}  // namespace

UniqueScHandle OpenServiceManager() {
    return UniqueScHandle(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
}

bool StopServiceByName(const std::wstring& name) {
    UniqueScHandle manager = OpenServiceManager();
    if (!manager) return false;
    UniqueScHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return IsMissingService(GetLastError());
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) return false;
    const bool wasRunning = status.dwCurrentState == SERVICE_RUNNING;
    SERVICE_STATUS ignored{};
    ControlService(service.get(), SERVICE_CONTROL_PAUSE, &ignored);
    const bool stopped = ControlService(service.get(), SERVICE_CONTROL_STOP, &ignored) != FALSE;
    return stopped || !wasRunning;
}

bool DeleteServiceWith(SC_HANDLE manager, const std::wstring& name) {
    UniqueScHandle service(OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return IsMissingService(GetLastError());
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) return false;
    for (DWORD control : {SERVICE_CONTROL_PAUSE, SERVICE_CONTROL_SHUTDOWN, SERVICE_CONTROL_STOP})
        ControlService(service.get(), control, &status);
    // A service some other handle already marked for deletion is as good as deleted.
    return DeleteService(service.get()) || GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
}

ServicePresence QueryServicePresence(SC_HANDLE manager, const std::wstring& name) {
    UniqueScHandle service(OpenServiceW(manager, name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return ServicePresence::Absent;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.get(), &status)) return ServicePresence::Unknown;
    return status.dwCurrentState == SERVICE_RUNNING ? ServicePresence::Running : ServicePresence::Stopped;
}

}  // namespace tidemark
