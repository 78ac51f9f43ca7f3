#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include <string>
#include <vector>

#include "common/test_support.h"
#include "system/folder_reader.h"

namespace tidemark {
namespace {

using test::ScratchDir;
using test::WriteFileText;

struct Listed {
    std::wstring name, shortName;
    DWORD attributes;
    std::uint64_t size;
    bool operator==(const Listed& o) const {
        return name == o.name && shortName == o.shortName && attributes == o.attributes && size == o.size;
    }
};

std::vector<Listed> ListAll(FolderReader& reader) {
    std::vector<Listed> all;
    FolderItem item;
    while (reader.Next(item))
        all.push_back({std::wstring(item.name), std::wstring(item.shortName), item.attributes, item.size});
    return all;
}

std::vector<Listed> ListFolder(const std::wstring& folder, FolderReadMethod method, DWORD& error) {
    FolderReader reader(method);
    error = reader.Open(folder);
    std::vector<Listed> all = ListAll(reader);
    if (!error) error = reader.Error();
    return all;
}

// The file system's own listing gives what FindFirstFile gives, entry for entry and in its order:
// long and 8.3 names, attributes and sizes; a sub-folder opened from its parent lists the same as
// one opened by its path, also beyond MAX_PATH.
TEST(FolderReader, NativeListingEqualsTheSystemsSearch) {
    ASSERT_TRUE(FolderReader::NativeAvailable());
    ScratchDir dir;
    std::wstring deep = dir.path();
    for (int i = 0; i < 9; ++i) deep += L"\\" + std::wstring(30, static_cast<wchar_t>(L'k' + i));
    ASSERT_TRUE(test::MakeDirs(deep));
    const std::vector<std::pair<std::wstring, std::size_t>> files = {
        {L"a.tmp", 10},         {L"Long File Name.document", 1234}, {L"file0001.chk", 0},
        {L"垃圾文件.bak", 77},  {L"UPPER.TXT", 5},                 {L"x.y.z~", 300},
    };
    for (const auto& [name, size] : files) ASSERT_TRUE(WriteFileText(dir / name, std::string(size, 'x')));
    ASSERT_TRUE(test::MakeDirs(dir / L"sub folder"));
    ASSERT_TRUE(WriteFileText(dir / L"sub folder\\inner.log", "abc"));
    ASSERT_TRUE(WriteFileText(deep + L"\\beyond.tmp", "deep"));
    SetFileAttributesW((dir / L"UPPER.TXT").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY);

    for (const std::wstring& folder : {dir.path(), dir.path() + L"\\", deep}) {
        DWORD nativeError = 1, findError = 1;
        const std::vector<Listed> native = ListFolder(folder, FolderReadMethod::Native, nativeError);
        const std::vector<Listed> found = ListFolder(folder, FolderReadMethod::FindFile, findError);
        EXPECT_EQ(nativeError, 0u);
        EXPECT_EQ(findError, 0u);
        ASSERT_EQ(native.size(), found.size()) << folder;
        EXPECT_TRUE(native == found) << folder;
    }
    DWORD error = 0;
    const std::vector<Listed> top = ListFolder(dir.path(), FolderReadMethod::Native, error);
    ASSERT_EQ(top.size(), files.size() + 2);  // the files, "sub folder" and the deep branch; no dots
    for (const Listed& entry : top) {
        if (entry.name == L"Long File Name.document") {
            EXPECT_FALSE(entry.shortName.empty());
        } else if (entry.name == L"a.tmp") {
            EXPECT_EQ(entry.size, 10u);
        } else if (entry.name == L"sub folder") {
            EXPECT_TRUE(entry.attributes & FILE_ATTRIBUTE_DIRECTORY);
        }
    }

    // Children opened from the parent, down to the deep branch's file.
    FolderReader parent(FolderReadMethod::Native);
    ASSERT_EQ(parent.Open(dir.path()), 0u);
    FolderReader child(FolderReadMethod::Native);
    ASSERT_EQ(child.OpenChild(&parent, L"sub folder", dir / L"sub folder"), 0u);
    const std::vector<Listed> inner = ListAll(child);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0].name, L"inner.log");
    EXPECT_EQ(inner[0].size, 3u);
    std::wstring path = dir.path();
    std::vector<std::unique_ptr<FolderReader>> chain;
    chain.push_back(std::make_unique<FolderReader>(FolderReadMethod::Native));
    ASSERT_EQ(chain.back()->Open(path), 0u);
    for (int i = 0; i < 9; ++i) {
        const std::wstring name(30, static_cast<wchar_t>(L'k' + i));
        path += L"\\" + name;
        auto next = std::make_unique<FolderReader>(FolderReadMethod::Native);
        ASSERT_EQ(next->OpenChild(chain.back().get(), name, path), 0u) << i;
        chain.push_back(std::move(next));
    }
    const std::vector<Listed> beyond = ListAll(*chain.back());
    ASSERT_EQ(beyond.size(), 1u);
    EXPECT_EQ(beyond[0].name, L"beyond.tmp");
}

// What is not a folder: nothing there, or a file. Either way an error, and no entry.
TEST(FolderReader, MissingFoldersAndFiles) {
    ScratchDir dir;
    ASSERT_TRUE(WriteFileText(dir / L"plain.txt", "x"));
    ASSERT_TRUE(test::MakeDirs(dir / L"empty"));
    const struct {
        std::wstring path;
        std::vector<DWORD> errors;
    } cases[] = {
        {dir / L"nothing", {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}},
        {dir / L"nothing\\below", {ERROR_PATH_NOT_FOUND}},
        {dir / L"plain.txt", {ERROR_DIRECTORY, ERROR_PATH_NOT_FOUND}},
        {L"", {ERROR_PATH_NOT_FOUND}},
    };
    for (FolderReadMethod method : {FolderReadMethod::Native, FolderReadMethod::FindFile}) {
        for (const auto& c : cases) {
            DWORD error = 0;
            const std::vector<Listed> listed = ListFolder(c.path, method, error);
            EXPECT_TRUE(listed.empty()) << c.path;
            EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), error), c.errors.end())
                << c.path << " gave " << error << " (method " << static_cast<int>(method) << ")";
        }
        DWORD error = 1;
        EXPECT_TRUE(ListFolder(dir / L"empty", method, error).empty());
        EXPECT_EQ(error, 0u);
        // A child that is not there, opened from its parent.
        FolderReader parent(method), child(method);
        ASSERT_EQ(parent.Open(dir.path()), 0u);
        const DWORD childError = child.OpenChild(&parent, L"nothing", dir / L"nothing");
        EXPECT_TRUE(childError == ERROR_FILE_NOT_FOUND || childError == ERROR_PATH_NOT_FOUND) << childError;
        FolderItem item;
        EXPECT_FALSE(child.Next(item));
    }
}

}  // namespace
}  // namespace tidemark
