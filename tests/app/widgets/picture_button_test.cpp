// Picture buttons make their faces when first painted.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/widgets/picture_button.h"
#include "common/test_support.h"
#include "widget_test_host.h"

namespace tidemark::widgets {
namespace {

// A 2 x 2 bitmap file, 24 bits a pixel, all red.
std::string RedBitmapFile() {
    std::string bytes(14 + 40 + 16, '\0');
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(bytes.size());
    file.bfOffBits = 14 + 40;
    BITMAPINFOHEADER info{};
    info.biSize = 40;
    info.biWidth = 2;
    info.biHeight = 2;
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::memcpy(&bytes[0], &file, 14);
    std::memcpy(&bytes[14], &info, 40);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x) bytes[54 + row * 8 + x * 3 + 2] = '\xFF';  // blue, green, red
    return bytes;
}

TEST(PictureButtonFaces, PictureFilesAreMadeAndLoadedWhenFirstPainted) {
    test::HostWindow host;
    ASSERT_NE(host.hwnd(), nullptr) << "no window: is DISPLAY set?";
    auto button = PictureButton::Create(host.hwnd(), RECT{0, 0, 80, 24}, ButtonLook::Action, L"扫描");
    ASSERT_TRUE(button);
    tidemark::test::ScratchDir dir;
    int made = 0, madeBad = 0;
    button->LoadFaceWhenShown(Face::Normal, dir / L"face.bmp", [&] {
        if (tidemark::test::PathExists(dir / L"face.bmp")) return true;
        ++made;
        return tidemark::test::WriteFileText(dir / L"face.bmp", RedBitmapFile());
    });
    button->CopyFace(Face::Normal, Face::StayDown);
    // A file that turns out to be no bitmap: the look's own drawing is shown instead.
    button->LoadFaceWhenShown(Face::Disabled, dir / L"bad.bmp", [&] {
        ++madeBad;
        return tidemark::test::WriteFileText(dir / L"bad.bmp", "not a bitmap");
    });
    EXPECT_EQ(button->FaceTag(Face::Normal), L"face.bmp");
    EXPECT_EQ(button->FaceTag(Face::StayDown), L"face.bmp");
    EXPECT_EQ(made, 0) << "nothing is made before the face is painted";
    EXPECT_FALSE(tidemark::test::PathExists(dir / L"face.bmp"));

    SendMessageW(button->hwnd(), WM_PAINT, 0, 0);
    SendMessageW(button->hwnd(), WM_PAINT, 0, 0);
    EXPECT_EQ(made, 1);
    EXPECT_TRUE(tidemark::test::PathExists(dir / L"face.bmp"));
    EXPECT_EQ(madeBad, 0) << "a face not shown is not made";

    EnableWindow(button->hwnd(), FALSE);
    SendMessageW(button->hwnd(), WM_PAINT, 0, 0);
    EXPECT_EQ(madeBad, 1);
    EXPECT_EQ(button->FaceTag(Face::Disabled), L"bad.bmp");

    // The spare face copied before it was made is made from the same file on its own.
    button->SwapFaces(Face::Normal, Face::StayDown);
    EnableWindow(button->hwnd(), TRUE);
    SendMessageW(button->hwnd(), WM_PAINT, 0, 0);
    EXPECT_EQ(made, 1) << "the file is there: written once";
}

}  // namespace
}  // namespace tidemark::widgets
