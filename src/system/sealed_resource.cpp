#include "system/sealed_resource.h"

#include <cstring>
#include <string>

#include "system/file_ops.h"

namespace tidemark {

bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                           const std::wstring& path, bool* leftOldFile) {
    if (leftOldFile) *leftOldFile = false;
    const ResourceBytes resource = FindResourceBytes(module, type, name);
    if (!resource.found) return false;

    const std::wstring target = ExtendedPath(path);
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileForce(path);
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (leftOldFile) *leftOldFile = true;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
            const std::string held = ReadFileBytes(path);
            return held.size() == resource.size &&
                   (resource.size == 0 || std::memcmp(held.data(), resource.data, resource.size) == 0);
        }
    }
    return WriteBytesToFile(path, resource.data, resource.size, true);
}

}  // namespace tidemark
