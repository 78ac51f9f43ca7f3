// The program's own data folder under the user's application data ("%APPDATA%\Corvane\Tidemark"):
// backups the program writes (hosts, WinSock2, registry) live there, where no junk rule reaches
// them (junk scans leave the application-data folders alone).
#pragma once

#include <string>

namespace tidemark {

// The folder, without a trailing backslash; created (with its parents) when create is set.
// Empty when the system names no application-data folder, or create fails.
std::wstring ProgramDataFolder(bool create);
// Its "Backup" folder, likewise.
std::wstring ProgramBackupFolder(bool create);

}  // namespace tidemark
