#include "system/sealed_resource.h"

#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark {
namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                           const std::wstring& path) {
    const ResourceBytes resource = FindResourceBytes(module, type, name);
    if (!resource.found) return false;

    const std::wstring target = ExtendedPath(path);
    if (Exists(target)) {
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(target.c_str());
        if (Exists(target)) return true;
    }
    return WriteBytesToFile(path, resource.data, resource.size, true);
}

}  // namespace tidemark
