// The junk walk done the long way, as a reference for tests: one system search per pattern rule
// per folder, then one "*" enumeration for the extension rules and the sub-folders. Junctions
// and links are neither entered nor listed. Lists (group text, full path) in listing order.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "junk/file_types.h"
#include "junk/junk_scan.h"
#include "system/file_ops.h"
#include "system/text_case.h"

namespace tidemark::test {

class LiteralJunkWalk {
public:
    LiteralJunkWalk(const JunkRuleSet& rules, std::vector<std::wstring> excluded)
        : rules_(rules), excluded_(std::move(excluded)) {}

    std::vector<std::pair<std::wstring, std::wstring>> Walk(const std::vector<std::wstring>& roots) {
        listing_.clear();
        for (std::wstring root : roots) {
            if (root.back() != L'\\') root += L'\\';
            Folder(root);
        }
        return listing_;
    }

private:
    template <typename Each>
    static void Search(const std::wstring& pattern, Each&& each) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW(ExtendedPath(pattern).c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) return;
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") each(name, data.dwFileAttributes);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }

    void Folder(const std::wstring& folder) {
        if (IsExcludedJunkFolder(folder, excluded_)) return;
        std::set<std::wstring> listed;
        for (std::size_t i = 0; i < rules_.patterns.size(); ++i) {
            const std::wstring& type = rules_.patterns[i];
            Search(folder + type, [&](const std::wstring& name, DWORD attributes) {
                if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return;
                if (type == L"*.??~" && name.back() != L'~') return;
                if (type == L"*.~*") {
                    const auto dot = name.rfind(L'.');
                    if (dot == std::wstring::npos || name.find(L'~', dot) == std::wstring::npos) return;
                }
                if (listed.count(folder + name) || IsVetoedMatch(folder, name, type)) return;
                listed.insert(folder + name);
                listing_.emplace_back(type, folder + name);
            });
        }
        Search(folder + L"*", [&](const std::wstring& name, DWORD attributes) {
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                Folder(folder + name + L"\\");
                return;
            }
            for (const std::wstring& key : rules_.extensions) {
                if (!MatchExtensionRule(key, name)) continue;
                const std::wstring group = L"*" + LowerCased(key);
                if (listed.count(folder + name) || IsVetoedMatch(folder, name, group)) continue;
                listed.insert(folder + name);
                listing_.emplace_back(group, folder + name);
            }
        });
    }

    const JunkRuleSet& rules_;
    std::vector<std::wstring> excluded_;
    std::vector<std::pair<std::wstring, std::wstring>> listing_;
};

}  // namespace tidemark::test
