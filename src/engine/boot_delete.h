// Committing the boot-time deletion list: the list file, the native tool beside it and its
// entry in the Session Manager's boot-execute list.
#pragma once

#include <string>
#include <vector>

#include "system/boot_list.h"

namespace tidemark {

// True when the file at path has the MD5 digest given as 32 hexadecimal digits (any case);
// false for a file that cannot be read (FileDigest).
bool FileMatchesMD5(const std::string& hexDigest, const std::wstring& path);

enum class BootCommitResult {
    Committed,           // list, tool and "cleandos <checksum>" entry in place
    NotNeeded,           // an empty list, or a system without boot-time programs: nothing done
    ListNotSaved,        // nothing else was touched
    ToolNotWritten,      // the tool is missing or not the one carried; BootExecute untouched
    BootEntryNotWritten, // BootExecute missing, not REG_MULTI_SZ, or refused
};

// The process's list, with the tool the program carries. Only on kinds 3 and 4 (XP and later
// of the NT family), and only when the list holds a line. BootExecute changes only once the
// list is saved and the tool beside it has the expected digest.
BootCommitResult CommitBootDelete();
// The same for a given list, expected tool digest and Windows kind (tests).
BootCommitResult CommitBootDeleteWith(const BootList& list, const std::string& toolDigest, int windowsKind);

// The boot-execute strings after a commit with the given checksum: the first entry starting
// with "cleandos" (case and surrounding blanks ignored) removed, "autocheck autochk *" added
// when nothing is left, then "cleandos <checksum>".
std::vector<std::wstring> NextBootExecute(std::vector<std::wstring> strings, unsigned checksum);

}  // namespace tidemark
