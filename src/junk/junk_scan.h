// The junk scan: walks folders recursively and lists every file an enabled file-type rule
// matches, grouped by rule in the order the groups are first met, with sizes in KB.
//
// Each folder is enumerated once. Pattern rules are matched in memory on the names that one
// enumeration returns and listed in the order one system search per pattern rule would list
// them (rule by rule, each in the folder's own order); then the same entries are walked again
// for the extension rules and the sub-folders. A folder or file that is a reparse point
// (junction, symbolic link) is never entered nor listed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/engine_contract.h"
#include "junk/file_types.h"

namespace tidemark {

// One group of the result: the files one rule listed (rules that share a group text share it).
struct JunkGroup {
    int ruleIndex = 0;             // in its list of the rule set
    bool pattern = false;          // pattern rule (else extension rule)
    std::wstring description;
    std::wstring groupType;        // the pattern's text, or "*" + the lower-cased extension key
    std::uint32_t fileCount = 0;
    std::uint64_t totalCentiKb = 0;  // the sum of the files' sizes, in hundredths of a KB
    std::vector<std::uint32_t> files;  // indexes into JunkScanResult::files, in the order found
};

// One listed file. The folder is shared by every file listed in it.
struct JunkFile {
    std::uint32_t folder = 0;      // index into JunkScanResult::folders
    std::uint32_t group = 0;       // index into JunkScanResult::groups
    std::uint64_t centiKb = 0;     // size / 1024 in hundredths, rounded half to even
    std::wstring name;
    std::uint64_t bytes = 0;       // the file's size
};

struct JunkScanResult {
    std::vector<std::wstring> folders;  // each ends with "\"
    std::vector<JunkGroup> groups;      // in the order their first file was found
    std::vector<JunkFile> files;        // in the order found
    std::uint64_t totalCentiKb = 0;
    std::uint64_t unreadable = 0;  // folders that could not be read (each reported as Sink::Failed)
    bool stopped = false;

    std::wstring FullPath(const JunkFile& file) const { return folders[file.folder] + file.name; }
    std::wstring FullPath(std::size_t index) const { return FullPath(files[index]); }
};

// What a scan reports per listed file (Sink::Found) and, now and then, the folder it is in
// (Sink::Progressed, current = the folder). A folder that exists but cannot be read is reported
// as Sink::Failed with the system's error.
struct JunkListed {
    const JunkScanResult& result;
    std::size_t index;  // into result.files
};

struct JunkScanRequest {
    std::vector<std::wstring> folders;  // walked in this order
    JunkRuleSet rules;
    // Folders skipped with everything below them, besides the names every scan skips.
    std::vector<std::wstring> excludedFolders;
};

// The scan itself. A folder that cannot be read lists nothing, is reported and counted
// (JunkScanResult::unreadable), and the walk goes on.
JunkScanResult ScanJunk(const JunkScanRequest& request, const Operation<JunkListed>& run);

// True when the folder is never walked: its path contains "Application Data", a recycle-bin
// or volume-information folder of a drive, "Symantec" or "Office\Data" (any letter case), or it
// is one of extra or lies below one.
bool IsExcludedJunkFolder(const std::wstring& folder, const std::vector<std::wstring>& extra);
// The application-data folders the system reports (roaming and local of this user, and the one
// shared by all users): their names differ from "Application Data" since Windows Vista.
std::vector<std::wstring> SystemAppDataFolders();

// The custom rule set: every non-empty type of "FileExtCustom" whose state is "0", described
// as a user type, but only when there are as many types as state characters.
JunkRuleSet BuildCustomJunkRuleSetFrom(const std::wstring& types, const std::wstring& states, unsigned langId);

// size / 1024 to two decimals, half to even, in hundredths. Any 64-bit size: a 50 GB file is
// 52,428,800 KB (5,242,880,000 hundredths).
std::uint64_t CentiKbOfSize(std::uint64_t bytes);
// Hundredths of a KB to hundredths of a MB (/ 1024, half to even).
std::uint64_t CentiMbOfCentiKb(std::uint64_t centiKb);
// Hundredths as the shortest decimal text: 150 -> "1.5", 102400 -> "1024", 5 -> "0.05".
std::wstring CentiText(std::uint64_t centi);
// Hundredths with exactly two decimals: 150 -> "1.50".
std::wstring CentiTextTwoDecimals(std::uint64_t centi);
// The group row's text: description + "   (type 文件大小: 1.50 KB  文件个数: 2个)".
std::wstring GroupRowText(const JunkGroup& group);
// Seconds as "hh:nn:ss".
std::wstring ElapsedText(std::uint64_t seconds);

}  // namespace tidemark
