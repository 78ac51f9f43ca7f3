// A folder's entries as the file system lists them, for the walks that visit every file of a
// tree. On the NT family the listing comes straight from the file system, 64 KB of entries a
// call (long and 8.3 names, attributes and sizes together), and a sub-folder is opened relative
// to its parent, with no path to look up again; on the 9x family through FindFirstFile. Both
// give the entries in the order the file system keeps them, as FindFirstFile does.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tidemark {

struct FolderItem {
    std::wstring_view name;       // valid until the next call of Next
    std::wstring_view shortName;  // the 8.3 alias; empty when the name needs none
    DWORD attributes = 0;
    std::uint64_t size = 0;
    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

enum class FolderReadMethod {
    Auto,      // the file system's own listing on the NT family, FindFirstFile on 9x
    Native,    // the file system's own listing (falls back to FindFirstFile where there is none)
    FindFile,  // FindFirstFile / FindNextFile
};

class FolderReader {
public:
    explicit FolderReader(FolderReadMethod method = FolderReadMethod::Auto);
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Opens a folder by its full path (a trailing backslash is allowed); 0, or the system's
    // error: ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND when it is not there, ERROR_DIRECTORY
    // when it is a file.
    DWORD Open(const std::wstring& folder);
    // Opens the sub-folder name of the folder parent has open; fullPath is the same folder's
    // full path, used where a relative open is not available (no parent, or a parent that lists
    // through FindFirstFile).
    DWORD OpenChild(const FolderReader* parent, std::wstring_view name, const std::wstring& fullPath);
    // Whether an error of Open or OpenChild means there is no folder there (nothing to list, and
    // nothing to report).
    static bool NoFolder(DWORD error) {
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY;
    }
    // The next entry ("." and ".." are skipped); false at the end or on an error (Error tells).
    bool Next(FolderItem& item);
    // After Next returned false: 0 at the end of the listing, else the system's error.
    DWORD Error() const { return error_; }
    // Frees the listing's buffer; the folder stays open for OpenChild.
    void EndListing();
    void Close();

    // Whether this system reads folders through the file system's own listing.
    static bool NativeAvailable();

private:
    bool NativeNext(FolderItem& item);
    bool FindNext(FolderItem& item);

    bool native_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;  // the open folder (native) or the search (FindFile)
    DWORD error_ = 0;
    bool ended_ = false;
    // Native: the buffer of the last call and the offset of the next entry in it.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t next_ = 0;
    std::size_t filled_ = 0;  // bytes of the buffer the last call filled
    bool haveEntries_ = false;
    // FindFile: the entry found but not yet handed out.
    std::unique_ptr<WIN32_FIND_DATAW> find_;
    bool pending_ = false;
};

}  // namespace tidemark
