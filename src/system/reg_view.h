// The registry and file-system views of 64-bit Windows.
//
// There a 32-bit program sees HKEY_LOCAL_MACHINE\Software (and a few other branches) as the
// 32-bit view (Wow6432Node) and System32 as SysWOW64, unless it asks otherwise. The engines read
// both registry views where both exist and judge a file named by a value in the view the value
// came from. The view a thread works in is set by ScopedRegView; every key the system layer
// opens or creates is opened in it, and every path a value names is judged in it.
//
// On 32-bit Windows there is one view (Own) and nothing here changes a call.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tidemark {

// The numbers are those the console and the journal write (0: the only view there is).
enum class RegView : int { Own = 0, Bits32 = 32, Bits64 = 64 };

// Whether this process is a 32-bit one on 64-bit Windows (IsWow64Process, looked up at run time).
bool ProcessIsWow64();
// Whether Windows is 64-bit (a 64-bit process, or a 32-bit one under WOW64).
bool SystemIs64Bit();
// The views there are, 64-bit first: {Bits64, Bits32} on 64-bit Windows, {Own} otherwise.
std::vector<RegView> RegistryViews();
// The view this program sees when it names none: Bits32 for a 32-bit program on 64-bit Windows,
// Bits64 for a 64-bit one, Own on 32-bit Windows.
RegView NaturalRegView();
// The access flag that opens a key in view (KEY_WOW64_32KEY / KEY_WOW64_64KEY; 0 for Own or on
// 32-bit Windows, where older systems refuse the flags).
REGSAM ViewAccess(RegView view);
int ViewNumber(RegView view);
// 32 or 64 as a view; Own for anything else.
RegView ViewOfNumber(int number);

// The view of this thread: NaturalRegView() unless a ScopedRegView says otherwise.
RegView CurrentRegView();
class ScopedRegView {
public:
    explicit ScopedRegView(RegView view);
    ~ScopedRegView();
    ScopedRegView(const ScopedRegView&) = delete;
    ScopedRegView& operator=(const ScopedRegView&) = delete;

private:
    RegView previous_;
};

// The kernel's name of an open key ("\REGISTRY\MACHINE\SOFTWARE\Wow6432Node\..."); empty when
// the system does not say.
std::wstring KernelKeyName(HKEY key);

// The root and path a kernel key name stands for: "\REGISTRY\MACHINE\X" is HKEY_LOCAL_MACHINE
// and "X", "\REGISTRY\USER\X" HKEY_USERS and "X" (any letter case). False for any other name.
bool RootPathOfKernelName(const std::wstring& kernelName, HKEY& root, std::wstring& path);

// Runs visit once per view in which root\path is a distinct key, with that view current: a key
// both views share (HKEY_CURRENT_USER\Software on Windows 7, say) is visited once, in the
// 64-bit view; a key missing in a view is not visited there. A key that is there but cannot be
// opened is visited in the first such view only, so its caller can say it could not be read.
void ForEachRegView(HKEY root, const std::wstring& path, const std::function<void(RegView)>& visit);

// Whether a key opened in the 32-bit view on 64-bit Windows is one both views share (its
// kernel name does not go through Wow6432Node: the type libraries, say). False in any other
// view. A walk of the 32-bit view passes over such keys: the 64-bit view's walk covers them.
bool SharedWithTheOtherView(HKEY key);

// The key name the 64-bit view shows for the 32-bit view's branch; walks of a whole branch skip
// it, since the 32-bit view's walk covers it.
bool IsWow6432NodeName(const std::wstring& name);

// The path a 32-bit program would reach as path, with redirection off: in the 32-bit view on
// 64-bit Windows System32 (but for its exempt folders) is SysWOW64, and Sysnative is System32;
// in the other views the path stays. windowsDir is the Windows folder ("C:\Windows").
std::wstring PathInView(const std::wstring& path, RegView view, const std::wstring& windowsDir);
// The path this process must use to reach what a program of view reaches as path. A 64-bit
// process names the 32-bit view's System32 as SysWOW64; a 32-bit process on 64-bit Windows
// names the 64-bit view's System32 as Sysnative, the alias the system keeps for it, so no
// redirection is ever switched off. processBits is 32 or 64; wow64 whether a 32-bit process
// runs on 64-bit Windows.
std::wstring PathForProcess(const std::wstring& path, RegView view, const std::wstring& windowsDir, int processBits,
                            bool wow64);
// The same for this process, in its Windows folder.
std::wstring PathForProcess(const std::wstring& path, RegView view);

// Environment strings of a value read in view expanded as a program of that view would see
// them: %ProgramFiles% and %CommonProgramFiles% are the x86 folders in the 32-bit view and the
// native ones in the 64-bit view.
std::wstring ExpandInView(const std::wstring& text, RegView view);
// The Program Files (common: Common Files) folder a program of view has on 64-bit Windows,
// from the environment; empty on 32-bit Windows, for Own, or when the environment does not say.
std::wstring ProgramFolderOfView(RegView view, bool common);
// Only "%ProgramFiles%" and "%CommonProgramFiles%" (any letter case) replaced by the folders a
// program of view has on 64-bit Windows; the text unchanged elsewhere. For texts whose other
// names are the program's own folder macros, expanded after this.
std::wstring ProgramFoldersInView(const std::wstring& text, RegView view);

}  // namespace tidemark
