// The WinSock2 backup's save dialog: its filter as the dialog reads it.
#include <gtest/gtest.h>

#include <string>

#include "app/backup_file_dialog.h"

namespace tidemark {
namespace {

TEST(BackupFileDialog, FilterPairsAreZeroSeparatedAndEndWithTwoZeros) {
    const std::wstring filter = DialogFilter(L"注册表文件 (*.reg)|*.reg");
    EXPECT_EQ(filter, std::wstring(L"注册表文件 (*.reg)\0*.reg\0\0", 21));
}

}  // namespace
}  // namespace tidemark
