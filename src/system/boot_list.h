// The boot-time deletion list: what could not be removed while Windows runs, one line per
// target (a tag letter and the target), kept in "cleandos.lst" in the system folder for the
// native tool that runs at the next boot.
#pragma once

#include <string>
#include <vector>

namespace tidemark {

enum BootRecordType : int {
    BootRecordFolder = 1,  // "D"
    BootRecordFile = 2,    // "F"
    BootRecordKey = 3,     // "K" + "HKLM\..."
    BootRecordValue = 4,   // "V" + "HKLM\key\value name"
    BootRecordKeyAlso = 5, // "K", as 3
};

enum class BootRecordResult {
    Added,
    AlreadyListed,  // an equal line is there
    // Not recorded: an unknown type, an empty target, a control character (the line would
    // split or the tool would refuse it), or a character the ANSI code page cannot hold
    // exactly (the tool would read another name).
    Refused,
};

class BootList {
public:
    // A list whose file is path; the file's lines are loaded now when it exists (a byte-order
    // mark selects UTF-8 or UTF-16, otherwise the ANSI code page). Lines Record would refuse as
    // targets (a control character, a character outside the ANSI code page) are left out.
    explicit BootList(std::wstring path);

    // Appends tag + target unless an equal line (A–Z compared without case) is there. Types
    // outside 1–5 record nothing.
    BootRecordResult Record(int type, const std::wstring& target);
    const std::vector<std::wstring>& Lines() const { return lines_; }
    const std::wstring& Path() const { return path_; }
    // Writes every line ended by CR LF, in the ANSI code page, without a byte-order mark. Never
    // best-fits: a line the code page cannot hold exactly fails the save, and nothing is written.
    [[nodiscard]] bool Save() const;

private:
    std::wstring path_;
    std::vector<std::wstring> lines_;
};

// The process's list (system folder + "\cleandos.lst"), made on first use.
BootList& BootDeleteList();
BootRecordResult RecordBootDelete(int type, const std::wstring& target);

// Equal over A–Z without case, every other character exactly.
bool SameIgnoringAsciiCase(const std::wstring& a, const std::wstring& b);

}  // namespace tidemark
