// The boot-time deletion list: reading it, checking it against the boot-execute argument and
// removing what it names. Written against ntdll alone, so the same code runs inside the native
// boot tool and inside an ordinary program (the tests).
//
// The list "cleandos.lst" lies in the system folder: one line per target, each ended by CR LF,
// in the system's ANSI code page. A line is a tag letter followed by the target:
//   D<folder>      the folder with everything in it; links inside are removed, never followed
//   F<file>        the file, read-only / hidden / system attributes cleared first
//   K<HKLM\key>    the key with its whole tree (HKCR\x stands for HKLM\SOFTWARE\Classes\x)
//   V<HKLM\key\name>  the value named after the last backslash; "HKLM\key\" is the default value
// Paths are absolute: "C:\...", "\\server\share\...", or "\\?\" forms. A line holding a control
// character anywhere (a CR inside it, a tab, DEL, C1), a root alone or an empty part is refused.
//
// The list is worked through only when the argument is the list's checksum in decimal. Once it
// has been read, the list file is emptied before anything is deleted: a deletion that hangs or
// crashes the boot must not come back at every later boot. The boot-execute entry is left for
// the program to replace.
#pragma once

namespace tidemark::cleandos {

// Where the lines for the boot screen (or a test) go; text without line end.
class BootOutput {
public:
    virtual void Line(const wchar_t* text) { (void)text; }

protected:
    ~BootOutput() = default;
};

struct BootListSummary {
    bool ran = false;       // the checksum matched and the list was worked through
    unsigned deleted = 0;   // targets removed
    unsigned absent = 0;    // targets that were already gone
    unsigned failed = 0;    // targets that stay, and lines that could not be read
};

// systemFolder: the folder holding the list, in NT form ("\SystemRoot\system32",
// "\??\C:\folder"), without a trailing backslash. argument: the checksum as given on the
// command line, or null when there was none.
BootListSummary RunBootList(const wchar_t* systemFolder, const wchar_t* argument,
                            BootOutput& out);

// The argument from a native command line: the text after the program name, or the whole
// line when it is nothing but a number (the session manager may pass either). Copies at most
// capacity - 1 characters and ends them with a zero; false when there is no argument.
bool BootArgumentFromCommandLine(const wchar_t* commandLine, unsigned length, wchar_t* argument,
                                 unsigned capacity);

}  // namespace tidemark::cleandos
