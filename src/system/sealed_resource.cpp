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
    return PlaceSealedBytes(resource.data, resource.size, path, leftOldFile);
}

bool PlaceSealedBytes(const void* data, unsigned long size, const std::wstring& path, bool* leftOldFile) {
    if (leftOldFile) *leftOldFile = false;
    const std::wstring target = ExtendedPath(path);
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) {
        DeleteFileForce(path);
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (leftOldFile) *leftOldFile = true;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
            const std::string held = ReadFileBytes(path);
            return held.size() == size && (size == 0 || std::memcmp(held.data(), data, size) == 0);
        }
    }
    return WriteBytesToFile(path, data, size, true);
}

}  // namespace tidemark
