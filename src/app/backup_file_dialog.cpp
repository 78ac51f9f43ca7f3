#include "app/backup_file_dialog.h"

#include <commdlg.h>

#include <vector>

#include "system/app_data.h"

namespace tidemark {

std::wstring DialogFilter(const std::wstring& filter) {
    std::wstring text = filter;
    for (wchar_t& c : text)
        if (c == L'|') c = L'\0';
    text.push_back(L'\0');
    text.push_back(L'\0');
    return text;
}

std::optional<std::wstring> AskBackupFile(HWND owner, const BackupFileRequest& request) {
    std::vector<wchar_t> file(32768, L'\0');
    request.ProposedName.copy(file.data(), std::min<std::size_t>(request.ProposedName.size(), file.size() - 1));
    const std::wstring filter = DialogFilter(request.Filter);
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = request.Title.c_str();
    // The dialog opens in the program's backup folder, which no junk rule reaches; the user may
    // still choose another place.
    const std::wstring backups = ProgramBackupFolder(true);
    if (!backups.empty()) dialog.lpstrInitialDir = backups.c_str();
    dialog.lpstrDefExt = request.DefaultExt.c_str();
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_EXPLORER;
    if (!GetSaveFileNameW(&dialog)) return std::nullopt;
    return std::wstring(file.data());
}

}  // namespace tidemark
