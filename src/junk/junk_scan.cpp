#include "junk/junk_scan.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string_view>
#include <unordered_map>

#include "junk/wildcard.h"
#include "lang/text_tables.h"
#include "system/file_ops.h"
#include "system/folder_reader.h"
#include "system/handles.h"
#include "system/text_case.h"
#include "system/text_util.h"
#include "system/win_info.h"

namespace tidemark {

namespace {

// Names whose folders no scan enters (compared upper-cased, anywhere in the path).
constexpr const wchar_t* kExcludedFragments[] = {
    L"APPLICATION DATA", L":\\SYSTEM VOLUME INFORMATION", L":\\RECYCLED", L":\\RECYCLER", L":\\$RECYCLE.BIN",
    L"SYMANTEC",         L"OFFICE\\DATA",
};

// One entry of a folder; its names live in the folder's name pool.
struct Entry {
    std::uint32_t name = 0, nameLength = 0, shortName = 0, shortLength = 0;
    DWORD attributes = 0;
    std::uint64_t size = 0;
    bool listed = false;  // the folder's listed-paths set: every entry has its own full path
    // The upper-cased ASCII characters of the long name, one bit each (all set when the name
    // holds anything else, or has an 8.3 alias).
    std::uint64_t charsLow = ~0ull, charsHigh = ~0ull;
    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

struct FolderEntries {
    std::wstring pool;
    std::vector<Entry> entries;
    std::wstring_view Name(const Entry& e) const { return std::wstring_view(pool).substr(e.name, e.nameLength); }
    std::wstring_view ShortName(const Entry& e) const {
        return std::wstring_view(pool).substr(e.shortName, e.shortLength);
    }
};

// Sets one bit per upper-cased ASCII character of text; all bits when it holds another character.
bool CharacterBits(std::wstring_view text, std::uint64_t& low, std::uint64_t& high) {
    std::uint64_t l = 0, h = 0;
    for (wchar_t c : text) {
        if (c >= 0x80) {
            low = high = ~0ull;
            return false;
        }
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c < 64) l |= 1ull << c; else h |= 1ull << (c - 64);
    }
    low = l;
    high = h;
    return true;
}

// The extension from the last "." with ASCII letters upper-cased, as extension keys are kept;
// false when it is longer than the buffer (no key is that long).
bool UpperExtensionInto(std::wstring_view name, wchar_t (&buffer)[32], std::size_t& length) {
    const std::size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos) {
        length = 0;
        return true;
    }
    length = name.size() - dot;
    if (length > 32) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const wchar_t c = name[dot + i];
        buffer[i] = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    }
    return true;
}

// The system's upper case; ASCII names (most) without a call.
void UpperName(std::wstring_view name, std::wstring& upper) {
    upper.assign(name);
    for (wchar_t& c : upper) {
        if (c >= 0x80) {
            upper = UpperCased(std::wstring(name));
            return;
        }
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
}

// IsVetoedMatch with the folder's and the rules' upper-cased texts worked out once per folder
// and rule instead of once per match.
class VetoCheck {
public:
    // upper: the folder's path upper-cased.
    void EnterFolder(const std::wstring& upper) {
        rootOnly_ = CountChar(upper, L'\\') < 2;
        prefetch_ = upper.find(L"\\PREFETCH") != std::wstring::npos;
    }
    // ruleUpper: the rule text upper-cased.
    bool Vetoed(std::wstring_view fileName, const std::wstring& ruleUpper) {
        UpperName(fileName, name_);
        return IsVetoedUpper(!rootOnly_, prefetch_, name_, ruleUpper);
    }

private:
    std::wstring name_;  // reused for every name
    bool rootOnly_ = false;
    bool prefetch_ = false;
};

struct PreparedPattern {
    WildcardPattern pattern;
    std::wstring text;
    std::wstring upper;
    bool tildeLast;   // "*.??~": the long name really ends in "~"
    bool tildeInExt;  // "*.~*": the long name's extension really holds a "~"
    // A pattern ending in a plain character matches only names ending in it (no 8.3 alias
    // involved); 0 when it ends otherwise.
    wchar_t lastChar;
    // The plain characters (no wildcard, no dot) every name it matches holds, as CharacterBits.
    std::uint64_t needLow = 0, needHigh = 0;
};

class Scanner {
public:
    Scanner(const JunkScanRequest& request, const Operation<JunkListed>& run) : request_(request), run_(run) {
        const WildcardDialect dialect = RunningUnderWine() ? WildcardDialect::Wine : WildcardDialect::Windows;
        for (const std::wstring& text : request.rules.patterns)
            {
            const wchar_t last = text.empty() ? 0 : text.back();
            const bool plain = last != 0 && last != L'*' && last != L'?' && last != L'.' && last != L'<' &&
                               last != L'>' && last != L'"' && last != L'\\' && last != L'/';
            PreparedPattern prepared{WildcardPattern(text, dialect), text, UpperCased(text), text == L"*.??~",
                                     text == L"*.~*", plain ? UpcaseNameChar(last) : wchar_t(0)};
            std::wstring plainChars;
            for (const wchar_t c : text)
                if (c != L'*' && c != L'?' && c != L'.' && c != L'<' && c != L'>' && c != L'"') plainChars += c;
            if (!CharacterBits(plainChars, prepared.needLow, prepared.needHigh)) prepared.needLow = prepared.needHigh = 0;
            patterns_.push_back(std::move(prepared));
        }
        for (const std::wstring& key : request.rules.extensions) {
            extensionGroups_.push_back(L"*" + LowerCased(key));
            extensionUpper_.push_back(UpperCased(extensionGroups_.back()));
        }
        patternGroup_.assign(patterns_.size(), -1);
        extensionGroup_.assign(extensionGroups_.size(), -1);
        for (const std::wstring& folder : request.excludedFolders)
            if (!folder.empty()) extraUpper_.push_back(UpperCased(WithTrailingBackslash(folder)));
    }

    JunkScanResult Run() {
        for (const std::wstring& folder : request_.folders) {
            if (Stopped()) break;
            if (folder.empty() || IsReparsePoint(folder)) continue;
            ScanFolder(WithTrailingBackslash(folder));
        }
        result_.stopped = run_.stop.Requested();
        return std::move(result_);
    }

private:
    bool Stopped() const { return run_.stop.Requested(); }

    // upper: the folder's path upper-cased.
    bool Excluded(const std::wstring& upper) const {
        for (const wchar_t* fragment : kExcludedFragments)
            if (upper.find(fragment) != std::wstring::npos) return true;
        const std::wstring withSlash = upper.back() == L'\\' ? upper : upper + L'\\';
        for (const std::wstring& extra : extraUpper_)
            if (withSlash.compare(0, extra.size(), extra) == 0) return true;
        return false;
    }

    // The folder's entries, read through reader (opened relative to parent when there is one);
    // the system's error when it could not be read (0 when it was read, or is gone, or is an
    // empty root).
    static DWORD ReadFolder(FolderReader& reader, const FolderReader* parent, std::wstring_view name,
                            const std::wstring& folder, FolderEntries& out) {
        const DWORD error = reader.OpenChild(parent, name, folder);
        if (FolderReader::NoFolder(error)) return 0;
        if (error) return error;
        FolderItem item;
        while (reader.Next(item)) {
            Entry entry;
            entry.name = static_cast<std::uint32_t>(out.pool.size());
            out.pool += item.name;
            entry.nameLength = static_cast<std::uint32_t>(item.name.size());
            entry.shortName = static_cast<std::uint32_t>(out.pool.size());
            out.pool += item.shortName;
            entry.shortLength = static_cast<std::uint32_t>(item.shortName.size());
            entry.attributes = item.attributes;
            entry.size = item.size;
            if (entry.shortLength == 0) CharacterBits(item.name, entry.charsLow, entry.charsHigh);
            out.entries.push_back(entry);
        }
        return reader.Error();
    }

    // parent: the reader that has the folder above open, when the walk came from there; name:
    // this folder's name in it.
    void ScanFolder(const std::wstring& folder, const FolderReader* parent = nullptr, std::wstring_view name = {}) {
        if (Stopped()) return;
        const std::wstring upper = UpperCased(folder);
        if (Excluded(upper)) return;
        run_.sink.Progressed(Progress{folder, result_.files.size(), 0});
        FolderEntries folderEntries;
        FolderReader reader;
        if (const DWORD error = ReadFolder(reader, parent, name, folder, folderEntries)) {
            ++result_.unreadable;
            run_.sink.Failed(Failure{folder, error});
            // What was read before a listing broke off is still scanned.
            if (folderEntries.entries.empty()) return;
        }
        std::vector<Entry>& entries = folderEntries.entries;
        std::int64_t folderIndex = -1;
        VetoCheck veto;
        veto.EnterFolder(upper);

        // Pattern rules first, each as its own search of this folder would return them.
        for (std::size_t rule = 0; rule < patterns_.size(); ++rule) {
            const PreparedPattern& p = patterns_[rule];
            for (Entry& entry : entries) {
                if (entry.IsFolder() || entry.IsLink()) continue;
                const std::wstring_view name = folderEntries.Name(entry);
                if ((p.needLow & ~entry.charsLow) || (p.needHigh & ~entry.charsHigh)) continue;
                if (p.lastChar && entry.shortLength == 0 && UpcaseNameChar(name.back()) != p.lastChar) continue;
                if (!p.pattern.Matches(name, folderEntries.ShortName(entry))) continue;
                if (p.tildeLast && name.back() != L'~') continue;
                if (p.tildeInExt) {
                    const auto dot = name.rfind(L'.');
                    if (dot == std::wstring_view::npos || name.find(L'~', dot) == std::wstring_view::npos) continue;
                }
                run_.pump.Poll();
                if (Stopped()) return;
                if (entry.listed || veto.Vetoed(name, p.upper)) continue;
                List(folder, folderIndex, entry, name, patternGroup_[rule], static_cast<int>(rule), true, p.text,
                     request_.rules.patternDescriptions[rule]);
            }
        }

        // Then one pass for the extension rules and the sub-folders.
        const std::vector<std::wstring>& keys = request_.rules.extensions;
        for (Entry& entry : entries) {
            run_.pump.Poll();
            if (Stopped()) return;
            if (entry.IsLink()) continue;  // never entered, never listed
            const std::wstring_view name = folderEntries.Name(entry);
            if (entry.IsFolder()) {
                ScanFolder(folder + std::wstring(name) + L'\\', &reader, name);
                continue;
            }
            wchar_t ext[32];
            std::size_t extLength = 0;
            if (keys.empty() || !UpperExtensionInto(name, ext, extLength)) continue;
            const std::wstring_view extension(ext, extLength);
            for (std::size_t rule = 0; rule < keys.size(); ++rule) {
                if (keys[rule] != extension) continue;
                if (entry.listed || veto.Vetoed(name, extensionUpper_[rule])) continue;
                List(folder, folderIndex, entry, name, extensionGroup_[rule], static_cast<int>(rule), false,
                     extensionGroups_[rule],
                     request_.rules.extensionDescriptions[rule]);
            }
        }
    }

    // ruleGroup: the group this rule listed into last (-1: none yet), found by its text once.
    void List(const std::wstring& folder, std::int64_t& folderIndex, Entry& entry, std::wstring_view name,
              std::int64_t& ruleGroup, int rule, bool pattern,
              const std::wstring& groupType, const std::wstring& description) {
        if (folderIndex < 0) {
            folderIndex = static_cast<std::int64_t>(result_.folders.size());
            result_.folders.push_back(folder);
        }
        if (ruleGroup < 0) {
            const auto found = groupOf_.find(groupType);
            if (found != groupOf_.end()) {
                ruleGroup = found->second;
            } else {
                ruleGroup = static_cast<std::int64_t>(result_.groups.size());
                JunkGroup row;
                row.ruleIndex = rule;
                row.pattern = pattern;
                row.description = description;
                row.groupType = groupType;
                result_.groups.push_back(std::move(row));
                groupOf_.emplace(groupType, static_cast<std::uint32_t>(ruleGroup));
            }
        }
        const std::uint32_t group = static_cast<std::uint32_t>(ruleGroup);
        JunkFile file;
        file.folder = static_cast<std::uint32_t>(folderIndex);
        file.group = group;
        file.bytes = entry.size;
        file.centiKb = CentiKbOfSize(entry.size);
        file.name.assign(name);
        const std::uint32_t index = static_cast<std::uint32_t>(result_.files.size());
        result_.files.push_back(std::move(file));
        JunkGroup& g = result_.groups[group];
        g.fileCount += 1;
        g.totalCentiKb += result_.files.back().centiKb;
        g.files.push_back(index);
        result_.totalCentiKb += result_.files.back().centiKb;
        entry.listed = true;
        run_.sink.Found(JunkListed{result_, index});
    }

    const JunkScanRequest& request_;
    const Operation<JunkListed>& run_;
    std::vector<PreparedPattern> patterns_;
    std::vector<std::wstring> extensionGroups_;
    std::vector<std::wstring> extensionUpper_;
    std::vector<std::wstring> extraUpper_;
    std::unordered_map<std::wstring, std::uint32_t> groupOf_;
    std::vector<std::int64_t> patternGroup_, extensionGroup_;
    JunkScanResult result_;
};

std::uint64_t DivideHalfToEven(std::uint64_t numerator, std::uint64_t denominator) {
    std::uint64_t q = numerator / denominator;
    const std::uint64_t r = numerator % denominator;
    if (r * 2 > denominator || (r * 2 == denominator && (q & 1))) ++q;
    return q;
}

}  // namespace

JunkScanResult ScanJunk(const JunkScanRequest& request, const Operation<JunkListed>& run) {
    return Scanner(request, run).Run();
}

bool IsExcludedJunkFolder(const std::wstring& folder, const std::vector<std::wstring>& extra) {
    const std::wstring upper = UpperCased(WithTrailingBackslash(folder));
    for (const wchar_t* fragment : kExcludedFragments)
        if (upper.find(fragment) != std::wstring::npos) return true;
    for (const std::wstring& e : extra) {
        if (e.empty()) continue;
        const std::wstring prefix = UpperCased(WithTrailingBackslash(e));
        if (upper.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
}

std::vector<std::wstring> SystemAppDataFolders() {
    std::vector<std::wstring> folders;
    for (int csidl : {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA}) {
        const std::wstring path = GetFolderPath(csidl);
        // A folder the system does not know, or a drive root, excludes nothing.
        if (path.size() > 3) folders.push_back(path);
    }
    return folders;
}

JunkRuleSet BuildCustomJunkRuleSetFrom(const std::wstring& types, const std::wstring& states, unsigned langId) {
    JunkRuleSet set;
    TextList entries;
    SplitToList(types, entries, L"/");
    if (entries.size() != states.size()) return set;
    const std::wstring label = GetUiText(90002, langId);
    for (std::size_t j = 0; j < entries.size(); ++j) {
        if (entries[j].empty() || states[j] != L'0') continue;
        const TypeClass cls = ClassifyType(entries[j]);
        if (cls.extension) {
            set.extensions.push_back(cls.key);
            set.extensionDescriptions.push_back(label);
        } else {
            set.patterns.push_back(entries[j]);
            set.patternDescriptions.push_back(label);
        }
    }
    return set;
}

std::uint64_t CentiKbOfSize(std::uint64_t bytes) {
    // bytes / 1024 * 100 = bytes * 25 / 256, worked out in two parts so that no size overflows.
    std::uint64_t q = bytes / 256 * 25;
    const std::uint64_t part = bytes % 256 * 25;
    q += part / 256;
    const std::uint64_t r = part % 256;
    if (r > 128 || (r == 128 && (q & 1))) ++q;
    return q;
}

std::uint64_t CentiMbOfCentiKb(std::uint64_t centiKb) { return DivideHalfToEven(centiKb, 1024); }

std::wstring CentiText(std::uint64_t centi) {
    std::wstring text = std::to_wstring(centi / 100);
    const unsigned fraction = static_cast<unsigned>(centi % 100);
    if (fraction != 0) {
        text += L'.';
        text += static_cast<wchar_t>(L'0' + fraction / 10);
        if (fraction % 10 != 0) text += static_cast<wchar_t>(L'0' + fraction % 10);
    }
    return text;
}

std::wstring CentiTextTwoDecimals(std::uint64_t centi) {
    wchar_t fraction[4];
    std::swprintf(fraction, 4, L"%02u", static_cast<unsigned>(centi % 100));
    return std::to_wstring(centi / 100) + L"." + fraction;
}

std::wstring GroupRowText(const JunkGroup& group) {
    return group.description + L"   (" + group.groupType + L" 文件大小: " + CentiTextTwoDecimals(group.totalCentiKb) +
           L" KB  文件个数: " + std::to_wstring(group.fileCount) + L"个)";
}

std::wstring ElapsedText(std::uint64_t seconds) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

}  // namespace tidemark
