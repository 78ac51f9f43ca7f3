#include "traces/trace_catalogue.h"

#include "system/rule_macros.h"
#include "system/text_util.h"

namespace tidemark {
namespace {

struct Row {
    int TextId;
    const wchar_t* Tag;
    const wchar_t* Folders;
    const wchar_t* Masks;
    const wchar_t* Roots;
    const wchar_t* KeyPaths;
    const wchar_t* ValueNames;
};

#define HKCU L"HKEY_CURRENT_USER"
#define HKCU2 HKCU L"###" HKCU
#define HKCU3 HKCU2 L"###" HKCU

// Internet Explorer (table 3).
constexpr Row kIeRows[] = {
    {15001, L"1", L"%usertempInternetFiles%", L"*.*", L"", L"", L""},
    {15002, L"0", L"%usertempHistory%", L"*.*", HKCU, L"Software\\Microsoft\\Internet Explorer\\TypedURLs", L""},
    {15003, L"2", L"", L"", L"HKEY_LOCAL_MACHINE", L"Software\\Microsoft\\Protected Storage System Provider", L""},
    {15004, L"2", L"", L"", HKCU, L"Network\\Recent", L""},
    {15005, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Ftp\\Accounts", L""},
    {15006, L"1", L"%useriecookies%", L"*.*", L"", L"", L""},
};

// Windows (table 1).
constexpr Row kSystemRows[] = {
    {12001, L"1", L"%usertemp%", L"*.*", L"", L"", L""},
    {12002, L"0", L"%UserRecent%", L"*.*", HKCU, L"\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs", L""},
    {12003, L"2", L"", L"", HKCU, L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU", L""},
    {12004, L"2", L"", L"", HKCU, L"SoftWare\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU", L""},
    {12005, L"2", L"", L"", HKCU3,
     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Doc Find Spec MRU###"
     L"Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}###"
     L"Software\\Microsoft\\Search Assistant\\ACMru",
     L""},
    {12006, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU", L""},
    {12007, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindComputerMRU", L""},
    {12008, L"2", L"", L"", HKCU, L"InstallLocationsMRU", L""},
};

// Applications (table 2): registry only, except the one file of row 49.
constexpr Row kSoftwareRows[] = {
    {11001, L"2", L"", L"", HKCU, L"Software\\Netscape\\NetscapeNavigator\\URLHistory", L""},
    {11002, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Visual Basic\\5.0\\RecentFiles", L""},
    {11003, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Visual Basic\\6.0\\RecentFiles", L""},
    {11004, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List", L""},
    {11005, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List", L""},
    {11006, L"2", L"", L"", HKCU L"###HKEY_USERS###" HKCU,
     L"Software\\Microsoft\\MediaPlayer\\Player\\RecentURLList###"
     L".Default\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList###"
     L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList",
     L""},
    {11007, L"2", L"", L"", HKCU, L"Software\\Nico Mak Computing\\WinZip\\extract", L""},
    {11008, L"2", L"", L"", HKCU, L"Software\\Nico Mak Computing\\WinZip\\filemenu", L""},
    {11009, L"2", L"", L"", HKCU, L"Software\\Nico Mak Computing\\WinZip\\select", L""},
    {11010, L"2", L"", L"", HKCU, L"Software\\Kingsoft\\WPSReader\\Recent File List", L""},
    {11011, L"2", L"", L"", HKCU, L"Software\\Kingsoft\\WPS2000LE\\Recent File List", L""},
    {11012, L"2", L"", L"", HKCU, L"Software\\Kingsoft\\WPSOffice\\Recent File List", L""},
    {11013, L"2", L"", L"", HKCU, L"Software\\ACD Systems\\ACDSee32", L"HistPaths"},
    {11014, L"2", L"", L"", HKCU, L"Software\\ACD Systems\\ACDSee", L"HistPaths"},
    {11015, L"2", L"", L"", L"HKEY_LOCAL_MACHINE###" HKCU,
     L"SOFTWARE\\Classes\\Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\MostRecentClips###"
     L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences\\MostRecentClips",
     L""},
    {11016, L"2", L"", L"", HKCU3,
     L"Software\\Microsoft\\Office\\9.0\\Excel\\Recent Files###"
     L"Software\\Microsoft\\Office\\10.0\\Excel\\Recent Files###"
     L"Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files",
     L""},
    {11017, L"2", L"", L"", HKCU, L"Software\\Microsoft\\FrontPage\\Editor\\Insert Hyperlink\\Recently Used URLs", L""},
    {11018, L"2", L"", L"", HKCU, L"Software\\Microsoft\\FrontPage\\Editor\\Insert Image\\Recently Used URLs", L""},
    {11019, L"2", L"", L"", HKCU2, L"Software\\3721\\InputCns###Software\\3721\\CnsUrl", L""},
    {11020, L"2", L"", L"", HKCU, L"Software\\Baidu\\BaiduBar\\History", L""},
    {11021, L"2", L"", L"", HKCU, L"Software\\WinRAR\\ArcHistory", L""},
    {11022, L"2", L"", L"", HKCU, L"Software\\WinRAR\\DialogEditHistory\\ExtrPath", L""},
    {11023, L"2", L"", L"", HKCU, L"Software\\Macromedia\\Flash 7\\Recent File List", L""},
    {11024, L"2", L"", L"", HKCU, L"Software\\Macromedia\\Dreamweaver MX 2004\\Recent File List", L""},
    {11025, L"2", L"", L"", HKCU, L"Software\\Macromedia\\Fireworks\\7\\ini\\Recent File List", L""},
    {11026, L"2", L"", L"", HKCU2,
     L"Software\\Gabest\\Media Player Classic\\Recent File List###Software\\Gabest\\Media Player Classic\\Recent Dub List",
     L""},
    {11027, L"2", L"", L"", HKCU2,
     L"Software\\EmSoft\\EmEditor v3\\Recent File List###Software\\ES-Computing\\EditPlus 2\\Recent Dir List", L""},
    {11028, L"2", L"", L"", HKCU3,
     L"Software\\Adobe\\Acrobat Reader\\5.0\\AVGeneral\\cRecentFiles###"
     L"Software\\Adobe\\Acrobat Reader\\6.0\\AVGeneral\\cRecentFiles###"
     L"Software\\Adobe\\Acrobat Reader\\7.0\\AVGeneral\\cRecentFiles",
     L""},
    {11029, L"2", L"", L"", HKCU3,
     L"Software\\GlobalSCAPE\\CuteFTP 7 Professional\\Recent###"
     L"Software\\GlobalSCAPE\\CuteFTP 6 Professional\\Recent###"
     L"Software\\GlobalSCAPE\\CuteFTP 5 Professional\\Recent",
     L"Sessions###Sessions###Sessions"},
    {11030, L"2", L"", L"", HKCU, L"Software\\yahoo\\YPlayer\\Recent URLs", L""},
    {11031, L"2", L"", L"", HKCU2, L"Software\\Headlight\\GetRight\\MRU###Software\\Headlight\\GetRight\\TypedURLs", L""},
    {11032, L"2", L"", L"", HKCU, L"Software\\SpeedBit\\Download Accelerator\\HistoryCombo", L"URLHistory"},
    {11033, L"2", L"", L"", HKCU2,
     L"Software\\Hyperionics\\HyperSnap-DX v.5\\HyperSnap-DX\\Recent File List###"
     L"Software\\Hyperionics\\HyperSnap-DX v.4\\HyperSnap-DX\\Recent File List",
     L""},
    {11034, L"2", L"", L"", HKCU, L"Software\\Microsoft\\MSNMessenger", L"User.NET Messenger Service"},
    {11035, L"2", L"", L"", HKCU, L"Software\\Microsoft\\MSN Apps\\MSN Toolbar", L"SearchStrings"},
    {11036, L"2", L"", L"", HKCU, L"Software\\YiSou\\YiSouURL", L""},
    {11037, L"2", L"", L"", HKCU, L"Software\\Google\\NavClient\\1.1\\History", L""},
    {11038, L"2", L"", L"", HKCU2, L"Software\\Google\\Deskbar\\termhistory###Software\\Google\\Deskbar\\urlhistory", L""},
    {11039, L"2", L"", L"", HKCU, L"Software\\WinImage", L""},
    {11040, L"2", L"", L"", HKCU, L"Software\\Corvane\\Findlet\\Keyword", L""},
    {11041, L"2", L"", L"", HKCU2, L"Software\\eBay\\eBayToolbar\\RecentSearches###Software\\eBay\\eBayToolbar\\History", L""},
    {11042, L"2", L"", L"", HKCU, L"Software\\ICQToolbar\\IEToolbar\\Historysearch", L""},
    {11043, L"2", L"", L"", HKCU2, L"Software\\yahoo\\Pager###Software\\yahoo\\Pager", L"Yahoo! User ID###Save Password"},
    {11044, L"2", L"", L"", HKCU, L"Software\\Foxit Software\\Foxit Reader\\Recent File List", L""},
    {11045, L"2", L"", L"", HKCU, L"Software\\Taobao\\WangWang\\淘宝旺旺", L"UserName"},
    {11046, L"2", L"", L"", HKCU, L"Software\\Xi\\NetTransport 2\\Default", L"Dir List"},
    {11047, L"2", L"", L"", HKCU, L"Software\\Canopus\\EDIUS\\3.00\\App\\Data\\EDIUS", L""},
    {11048, L"2", L"", L"", HKCU, L"Software\\Microsoft\\Terminal Server Client\\Default", L""},
    {11049, L"2", L"", L"", HKCU2,
     L"Software\\Microsoft\\Internet Explorer\\IntelliForms\\Storage1###"
     L"Software\\Microsoft\\Internet Explorer\\IntelliForms\\Storage2",
     L""},
    {11050, L"1", L"%windir%\\systen32\\cid_store.dat", L"", L"", L"", L""},
    {11051, L"2", L"", L"", HKCU3,
     L"Software\\7-Zip\\FM###Software\\7-Zip\\FM###Software\\7-Zip\\Compression\\ArcHistory",
     L"CopyHistory###FolderHistory###NULL"},
};

#undef HKCU3
#undef HKCU2
#undef HKCU

struct Table {
    const Row* Rows;
    int Count;
};

Table TableOf(int table) {
    switch (table) {
        case TraceTableSystem: return {kSystemRows, static_cast<int>(std::size(kSystemRows))};
        case TraceTableSoftware: return {kSoftwareRows, static_cast<int>(std::size(kSoftwareRows))};
        case TraceTableIe: return {kIeRows, static_cast<int>(std::size(kIeRows))};
        default: return {nullptr, 0};
    }
}

const Row* RowOf(int table, int row) {
    const Table t = TableOf(table);
    return row >= 0 && row < t.Count ? &t.Rows[row] : nullptr;
}

std::vector<std::wstring> Split(const std::wstring& field) {
    std::vector<std::wstring> list;
    SplitToList(field, list, L"###");
    return list;
}

}  // namespace

TraceRecordFields TraceRecord(int table, int row) {
    const Row* r = RowOf(table, row);
    if (!r) return {};
    return {r->Tag, r->Folders, r->Masks, r->Roots, r->KeyPaths, r->ValueNames};
}

int TraceRowCount(int table) { return TableOf(table).Count; }

int TraceTextId(int table, int row) {
    const Row* r = RowOf(table, row);
    return r ? r->TextId : 0;
}

TraceLocations ResolveTraceLocations(const TraceRecordFields& record) {
    TraceLocations where;
    where.Folders = Split(record.Folders);
    for (std::wstring& folder : where.Folders) folder = ExpandRuleMacros(folder);
    where.Masks = Split(record.Masks);
    where.Roots = Split(record.Roots);
    where.KeyPaths = Split(record.KeyPaths);
    where.ValueNames = Split(record.ValueNames);
    return where;
}

}  // namespace tidemark
