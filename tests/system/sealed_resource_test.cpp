#include <gtest/gtest.h>

#include <optional>

#include "common/test_support.h"
#include "system/file_ops.h"
#include "system/handles.h"
#include "system/sealed_resource.h"

namespace tidemark {
namespace {

const std::string kBlob = "tidemark test resource\n";  // test_blob.bin

TEST(ExtractSealedResource, AFileThatStaysCountsOnlyWhenItHoldsTheResource) {
    const struct {
        const char* label;
        std::optional<std::string> before;  // the file already there
        DWORD attributes;
        bool held;  // open in another copy of the program, so it cannot be deleted
        bool result, leftOld;
        std::string after;
    } cases[] = {
        {"no file", std::nullopt, 0, false, true, false, kBlob},
        {"older file", "older helper", 0, false, true, false, kBlob},
        {"read-only older file", "older helper", FILE_ATTRIBUTE_READONLY, false, true, false, kBlob},
        {"held older file", "older helper", 0, true, false, true, "older helper"},
        {"held copy of the resource", kBlob, 0, true, true, true, kBlob},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        test::ScratchDir dir;
        const std::wstring path = dir / L"helper.dll";
        if (c.before) {
            ASSERT_TRUE(test::WriteFileText(path, *c.before, c.attributes));
        }
        UniqueHandle held;
        if (c.held) {
            held.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held);
        }
        bool leftOld = !c.leftOld;
        EXPECT_EQ(ExtractSealedResource(nullptr, L"FILE", L"TESTBLOB", path, &leftOld), c.result);
        EXPECT_EQ(leftOld, c.leftOld);
        EXPECT_EQ(ReadFileBytes(path), c.after);
    }
}

}  // namespace
}  // namespace tidemark
