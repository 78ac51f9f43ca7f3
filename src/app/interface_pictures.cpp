#include "app/interface_pictures.h"

#include "system/file_ops.h"

namespace tidemark {

const std::vector<TabPictureGroup>& TabPictureGroups() {
    static const std::vector<TabPictureGroup> groups = {
        {L"ClearRbt", L"BBtn_Tab1"},  {L"ClearFileSys", L"BBtn_Tab2"}, {L"CurrentClear", L"BBtn_Tab3"},
        {L"ClearReg", L"BBtn_Tab4"},  {L"standard", L"BBtn_Tab5"},     {L"SetCenter", L"BBtn_Tab6"},
    };
    return groups;
}

InterfacePictureResults ExtractInterfacePictures(const std::wstring& folder, bool traditional) {
    InterfacePictureResults results;
    const std::wstring base = folder + L"\\";
    results.waitfor = ExtractResourceToFile(L"gif", L"MyWaitfor", base + L"waitfor.gif");
    results.loading = ExtractResourceToFile(L"gif", L"MyLoading", base + L"g_Loading.gif");
    results.headtable = ExtractResourceToFile(L"png", L"MyHeadtable", base + L"Headtable.png");
    const std::wstring suffix = traditional ? L"_CHTbmp" : L"bmp";
    for (const TabPictureGroup& group : TabPictureGroups())
        for (int digit = 1; digit <= 4; ++digit) {
            const std::wstring face = group.group + std::to_wstring(digit);
            if (ExtractResourceToFile(L"bmp", (L"My" + face + suffix).c_str(), base + face + L".bmp"))
                ++results.tabFaces;
        }
    results.score = ExtractResourceToFile(L"png", traditional ? L"MyScoreBG_CHTpng" : L"MyScoreBGpng",
                                          base + L"ScoreBG.png");
    return results;
}

}  // namespace tidemark
