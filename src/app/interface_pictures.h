// The interface pictures the program carries as resources and writes to its work folder: two
// animations, the header background, 24 tab faces per script and the score panel's background.
// The window writes each one when it is first shown.
#pragma once

#include <string>
#include <vector>

namespace tidemark {

struct TabPictureGroup {
    const wchar_t* group;   // "ClearRbt": resources "MyClearRbt1bmp" ... files "ClearRbt1.bmp" ...
    const wchar_t* button;  // the top tab that takes the faces
};
const std::vector<TabPictureGroup>& TabPictureGroups();

// The file names of every picture, in order: the two animations, the header background, the
// tab faces and the score background. The files carry the plain names whichever script they
// were written from.
std::vector<std::wstring> InterfacePictureFiles();

// One picture by its file name ("waitfor.gif", "ClearRbt1.bmp"): whether the program carries
// it, and writing it into folder unless a file of that name is there already (false when the
// program has no such picture or it cannot be written).
bool HasInterfacePicture(const std::wstring& file, bool traditional);
bool WriteInterfacePicture(const std::wstring& folder, const std::wstring& file, bool traditional);

}  // namespace tidemark
