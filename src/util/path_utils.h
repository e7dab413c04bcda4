// File-system operations of the compiler back end.
#ifndef LOOM_UTIL_PATH_UTILS_H
#define LOOM_UTIL_PATH_UTILS_H

#include "util/export.h"
#include "util/path.h"

#include <cstddef>
#include <map>
#include <string>

// File-system operations of the compiler back end. Failures of MakeDirectory, CopyFile and
// CopyDirectory are reported by their result, by a module-wide last-message text (carried into
// the "details" of output-directory validation) and by "file_util_warnings.txt" in the working
// directory, which holds the most recent warning only.
//
//   void onError(const std::string& id, const std::map<std::string, std::string>& params);
//   util::io::CreateAndValidateOutputDirectory("out/rtl", onError, onWarning, 0, false);
//   // may call onError("IO_ERR_DIR_NOT_WRITABLE", {{"path", "out/rtl"}}) and so on

namespace util {
namespace io {

using MessageCallback = void (*)(const std::string& id,
                                 const std::map<std::string, std::string>& parameters);

// Status queries follow symbolic links; "not found" gives false, other failures throw
// boost::filesystem::filesystem_error.
LOOM_UTIL_API bool DirExists(const char* path);
LOOM_UTIL_API bool DirExists(const Path& path);
LOOM_UTIL_API bool FileExists(const char* path);
LOOM_UTIL_API bool FileExists(const Path& path);

// True when the directory exists afterwards. With `recursive`, missing ancestors are created.
LOOM_UTIL_API bool MakeDirectory(const char* dir, bool recursive);
// A file or an empty directory; false when nothing was there.
LOOM_UTIL_API bool Remove(const Path& path);
LOOM_UTIL_API void Rename(const Path& from, const Path& to);
// Overwrites an existing target.
LOOM_UTIL_API bool CopyFile(const Path& from, const Path& to);
// Copies a tree: a file that fails is skipped (the result becomes false), a subdirectory that
// fails stops the copy. A destination inside the source tree is refused.
LOOM_UTIL_API bool CopyDirectory(const Path& from, const Path& to);

// Creates `dir` when missing and checks that it is a writable directory with 100 MB free,
// reporting each problem through the callbacks ("IO_ERR_COULD_NOT_CREATE_DIR",
// "IO_ERR_FILE_WHEN_EXPECTED_DIR", "IO_ERR_DIR_DOES_NOT_EXIST", "IO_ERR_DIR_NOT_WRITABLE",
// "IO_ERR_INSUFFICIENT_DISK_SPACE" to onWarning unless diskSpaceIsError). The int is unused.
LOOM_UTIL_API void CreateAndValidateOutputDirectory(const char* dir, MessageCallback onError,
                                                    MessageCallback onWarning, int,
                                                    bool diskSpaceIsError);

// `path` relative to `base`, component by component ("a/b/c" from "a/d" is "../b/c"). The
// buffer form writes at most outSize bytes, terminator included, cutting a longer result.
LOOM_UTIL_API void CreateRelativePath(const char* path, const char* base, char* out,
                                      std::size_t outSize);
LOOM_UTIL_API std::string CreateRelativePath(const char* path, const char* base);

// `path` when it is absolute ("/x", "\x", "C:/x", "C:\x"), else base + "/" + path.
LOOM_UTIL_API void GetAbsolutePath(const char* base, const char* path, std::string& result);

// The directory holding the loaded libloom_util.so.
LOOM_UTIL_API std::string GetCurrentLibraryDirectory();

// Looks for a directory `name` beside `start`, then beside each of its ancestors; an
// internal restriction when there is none.
LOOM_UTIL_API Path FindDirectoryInParents(const std::string& name, const std::string& start);
LOOM_UTIL_API Path GetSubDirectory(const std::string& name);

// "file:///" + the path with backslashes turned into slashes; nothing is escaped.
LOOM_UTIL_API std::string ToURI(const char* path);
LOOM_UTIL_API std::string ToURI(std::string path);

} // namespace io
} // namespace util

#endif
