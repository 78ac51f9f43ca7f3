#include "system/sealed_resource.h"

#include "system/file_ops.h"
#include "system/handles.h"

namespace tidemark {
namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool ExtractSealedResource(HMODULE module, const wchar_t* type, const wchar_t* name,
                           const std::wstring& path) {
    HRSRC info = FindResourceW(module, name, type);
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, info);
    if (!bytes && size != 0) return false;

    const std::wstring target = ExtendedPath(path);
    if (Exists(target)) {
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(target.c_str());
        if (Exists(target)) return true;
    }
    UniqueHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = size == 0 || (WriteFile(file.get(), bytes, size, &written, nullptr) && written == size);
    file.reset();
    if (!ok) DeleteFileW(target.c_str());
    return ok;
}

}  // namespace tidemark
