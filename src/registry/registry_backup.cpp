// The backup of a registry fix: the registry editor's own export format, so that "regedit /s"
// (Windows' and Wine's) puts back exactly what the fix removed.
#include "registry/registry_scan.h"
#include "system/reg_ops.h"
#include "system/reg_paths.h"
#include "system/reg_text.h"

namespace tidemark {

bool RegistryBackupText(const std::vector<TDataRegItems>& items, std::wstring& text) {
    text = RegTextHeader();
    for (const TDataRegItems& item : items) {
        const ScopedRegView view(item.View);
        const std::wstring key = SystemKeyPath(item.KeyPath);
        if (RootName(item.Root).empty() || !IsExactKeyPath(key)) return false;
        if (item.Category == 2) {
            if (!AppendRegKeyTree(item.Root, key + L"\\" + item.Name, text)) return false;
            continue;
        }
        if (!AppendRegValue(item.Root, key, item.Name, text)) return false;
    }
    return true;
}

bool WriteRegistryBackup(const std::wstring& file, const std::vector<TDataRegItems>& items) {
    std::wstring text;
    return RegistryBackupText(items, text) && WriteRegTextFile(file, text);
}

}  // namespace tidemark
