// The usage traces the program knows: 65 records in three tables (Internet Explorer, the system,
// applications), each naming the folders and the registry keys and values where its trace lives.
// Constant data; the scan and clean (trace_engine.h) work only from it.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace tidemark {

// Table numbers as the trace tree carries them.
enum TraceTable : int { TraceTableSystem = 1, TraceTableSoftware = 2, TraceTableIe = 3 };

// One catalogue row: six texts; lists inside a field are joined with "###".
struct TraceRecordFields {
    std::wstring Tag;         // "1" files only, "0" files and registry, "2" registry only
    std::wstring Folders;     // folders (or one file), may hold rule macros
    std::wstring Masks;       // one mask per folder
    std::wstring Roots;       // one full root name per registry location
    std::wstring KeyPaths;    // one key path per root
    std::wstring ValueNames;  // empty, or one value name per location ("NULL": the whole key)
};

// The fields of row of table; all empty for a row the table does not have.
TraceRecordFields TraceRecord(int table, int row);
int TraceRowCount(int table);
// The language text that names the row in the tree (11001..., 12001..., 15001...); 0 when none.
int TraceTextId(int table, int row);

// The five parallel lists of a record: folders expanded (upper case), masks, roots, key paths,
// value names. Each field is split with the list rule, so an empty field gives one empty entry.
struct TraceLocations {
    std::vector<std::wstring> Folders, Masks, Roots, KeyPaths, ValueNames;
};
TraceLocations ResolveTraceLocations(const TraceRecordFields& record);

// The three groups of the tree, in tree order.
struct TraceGroup {
    int CaptionId;  // language text of the group row
    int Table;
};
constexpr std::array<TraceGroup, 3> TraceGroups = {{
    {90022, TraceTableIe},
    {90014, TraceTableSystem},
    {90015, TraceTableSoftware},
}};

// Sub-folders of the user's temporary folder that a trace scan leaves alone: our own work folder
// and those of the maker's companion programs installed beside us.
constexpr std::array<const wchar_t*, 11> TempProtectedNames = {
    L"Brim",     L"Findlet",  L"CvUpdate", L"Tidewatch", L"Shoal",   L"Keelson",
    L"Beacon",   L"Driftnet", L"Harbour",  L"CvGuard",   L"Sounder",
};

}  // namespace tidemark
