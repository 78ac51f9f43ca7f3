#include "app/interface_pictures.h"

#include <windows.h>

#include "system/file_ops.h"

namespace tidemark {

const std::vector<TabPictureGroup>& TabPictureGroups() {
    static const std::vector<TabPictureGroup> groups = {
        {L"ClearRbt", L"BBtn_Tab1"},  {L"ClearFileSys", L"BBtn_Tab2"}, {L"CurrentClear", L"BBtn_Tab3"},
        {L"ClearReg", L"BBtn_Tab4"},  {L"standard", L"BBtn_Tab5"},     {L"SetCenter", L"BBtn_Tab6"},
    };
    return groups;
}

namespace {

struct PictureSource {
    const wchar_t* type;
    std::wstring resource;
};

// The resource a picture file is written from, in the chosen script; false for no such file.
bool SourceOf(const std::wstring& file, bool traditional, PictureSource& source) {
    if (file == L"waitfor.gif") source = {L"gif", L"MyWaitfor"};
    else if (file == L"g_Loading.gif") source = {L"gif", L"MyLoading"};
    else if (file == L"Headtable.png") source = {L"png", L"MyHeadtable"};
    else if (file == L"ScoreBG.png") source = {L"png", traditional ? L"MyScoreBG_CHTpng" : L"MyScoreBGpng"};
    else if (file.size() > 5 && file.compare(file.size() - 4, 4, L".bmp") == 0)
        source = {L"bmp", L"My" + file.substr(0, file.size() - 4) + (traditional ? L"_CHTbmp" : L"bmp")};
    else return false;
    return true;
}

}  // namespace

bool HasInterfacePicture(const std::wstring& file, bool traditional) {
    PictureSource source;
    return SourceOf(file, traditional, source) && FindResourceW(nullptr, source.resource.c_str(), source.type);
}

bool WriteInterfacePicture(const std::wstring& folder, const std::wstring& file, bool traditional) {
    const std::wstring path = folder + L"\\" + file;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    PictureSource source;
    return SourceOf(file, traditional, source) && ExtractResourceToFile(source.type, source.resource.c_str(), path);
}

std::vector<std::wstring> InterfacePictureFiles() {
    std::vector<std::wstring> files = {L"waitfor.gif", L"g_Loading.gif", L"Headtable.png"};
    for (const TabPictureGroup& group : TabPictureGroups())
        for (int digit = 1; digit <= 4; ++digit) files.push_back(group.group + std::to_wstring(digit) + L".bmp");
    files.push_back(L"ScoreBG.png");
    return files;
}

}  // namespace tidemark
