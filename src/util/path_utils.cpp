// File-system operations: directories, atomic copies, relative and absolute paths.
#include "util/path_utils.h"

#include "util/assert_handler.h"
#include "util/internal/path_internal.h"
#include "util/internal/platform.h"
#include "util/internal/text.h"

#include <boost/filesystem.hpp>
#include <fmt/format.h>
#include <fmt/printf.h>

#include <cstdio>
#include <cstring>

namespace fs = boost::filesystem;

namespace util {
namespace io {

using util::internal::orEmpty;

namespace {

std::string gLastMessage; // detail of the most recent failure

// Every failure here goes through this: `detail` becomes the last message, `warning` (the text
// for people, `detail` when not given) the content of the warnings file. The file holds only
// the most recent warning and is replaced whole, so a warning that cannot be written (a full
// disk, a read-only directory) leaves the previous one as it was; the new one then goes to
// standard error with the reason.
void recordFailure(const std::string& detail, const std::string& warning = std::string()) {
  gLastMessage = detail;
  const std::string& text = warning.empty() ? detail : warning;
  const platform::WriteOutcome outcome =
      platform::replaceFileContent("file_util_warnings.txt", text + "\n");
  if (!outcome.written)
    std::fprintf(stderr, "Could not write file_util_warnings.txt (%s); the warning was: %s\n",
                 platform::describeFailure(outcome.failedStep, outcome.error).c_str(),
                 text.c_str());
}

std::string errorCodeText(const boost::system::error_code& ec) {
  return fmt::format("Error code [{}]: {}", ec.value(), ec.message());
}

// Whether `inner` is the directory `outer` or lies below it: some ancestor of `inner` (itself
// included) is `outer` by device and inode, so that a second name of the tree (a bind mount, a
// link) is seen as well as the same spelling.
bool insideOrSame(const Path& inner, const Path& outer) {
  for (fs::path p = internal::resolvedAbsolute(inner.string()); !p.empty(); p = p.parent_path()) {
    boost::system::error_code ec;
    if (fs::equivalent(p, outer.string(), ec) && !ec)
      return true;
  }
  return false;
}

} // namespace

bool DirExists(const char* path) {
  return DirExists(Path(orEmpty(path)));
}
bool DirExists(const Path& path) {
  return path.isDirectory();
}
bool FileExists(const char* path) {
  return FileExists(Path(orEmpty(path)));
}
bool FileExists(const Path& path) {
  return path.isFile();
}

bool MakeDirectory(const char* dir, bool recursive) {
  const Path path(orEmpty(dir));
  const auto warnCreation = [&](const std::string& details) {
    recordFailure(details, fmt::format("Error creating directory <{}>. Please check that the "
                                       "parent directory is writable. Details: {}",
                                       orEmpty(dir), details));
  };
  boost::system::error_code ec;
  const fs::file_status status = fs::status(path.string(), ec);
  if (fs::is_directory(status))
    return true;
  if (fs::is_regular_file(status)) {
    warnCreation("Path exists but it is a file not a directory");
    return false;
  }
  if (status.type() == fs::status_error) {
    // Neither there nor absent: a parent that may not be searched, a name too long.
    warnCreation(errorCodeText(ec));
    return false;
  }
  ec.clear();
  bool created = false;
  bool explained = false; // a text more useful than the error code is already stored
  if (path.empty()) {
    warnCreation("Directory was empty");
    explained = true;
  } else {
    try {
      created = recursive ? fs::create_directories(path.string(), ec)
                          : fs::create_directory(path.string(), ec);
    } catch (const std::exception& e) {
      warnCreation(e.what());
      explained = true;
    }
  }
  if (created && !ec)
    return true;
  boost::system::error_code again;
  if (fs::is_directory(fs::status(path.string(), again)))
    return true; // made in the meantime by someone else
  if (!explained)
    warnCreation(errorCodeText(ec));
  return false;
}

bool Remove(const Path& path) {
  return fs::remove(path.string());
}

void Rename(const Path& from, const Path& to) {
  fs::rename(from.string(), to.string());
}

bool CopyFile(const Path& from, const Path& to) {
  const auto failed = [&](const std::string& reason) {
    recordFailure(reason, fmt::format("Error copying file from <{}> to <{}>. Message: {}",
                                      from.string(), to.string(), reason));
    return false;
  };
  const platform::CopyOutcome outcome = platform::copyFileReplacing(from.c_str(), to.c_str());
  if (outcome.sameFile)
    return failed("Source and destination are the same file: " + to.string());
  if (!outcome.copied)
    return failed(fmt::format("Could not {}: {}: \"{}\", \"{}\"", outcome.failedStep,
                              std::strerror(outcome.error), from.string(), to.string()));
  return true;
}

namespace {

// A symbolic link to a directory is made again as a link with the same target text: copying
// what it points to could recurse through a cycle ("self -> .") without end.
bool copyDirectoryLink(const fs::path& link, const fs::path& target) {
  boost::system::error_code ec;
  const fs::path pointsTo = fs::read_symlink(link, ec);
  const int error =
      ec ? ec.value() : platform::replaceWithSymlink(pointsTo.c_str(), target.c_str());
  if (error == 0)
    return true;
  recordFailure(fmt::format("Error copying link <{}> to <{}>. Message: {}", link.string(),
                            target.string(), std::strerror(error)));
  return false;
}

} // namespace

bool CopyDirectory(const Path& from, const Path& to) {
  const auto copyError = [&](const std::string& message) {
    recordFailure(fmt::format("Error copying directory <{}> to <{}>. Message: {}", from.string(),
                              to.string(), message));
  };
  try {
    boost::system::error_code ec;
    if (!fs::is_directory(fs::status(from.string(), ec))) {
      recordFailure(fmt::format("Source directory <{}> is invalid", from.string()));
      return false;
    }
    // Copying into the source's own tree would copy the copy, until the path limit.
    if (insideOrSame(to, from)) {
      recordFailure(fmt::format("Destination directory <{}> lies inside source directory <{}>",
                                to.string(), from.string()));
      return false;
    }
    if (!MakeDirectory(to.c_str(), true)) {
      recordFailure(
          fmt::format("Destination directory <{}> could not be found/created", to.string()));
      return false;
    }
  } catch (const fs::filesystem_error& e) {
    copyError(e.what());
    return false;
  }

  bool result = true;
  boost::system::error_code ec;
  for (fs::directory_iterator it(from.string(), ec), end; !ec && it != end; it.increment(ec)) {
    try {
      const Path entry(it->path().string());
      const Path target = to.join(entry.getFilename());
      boost::system::error_code statusError;
      const bool directory = fs::is_directory(fs::status(it->path(), statusError));
      if (directory && fs::is_symlink(fs::symlink_status(it->path(), statusError))) {
        if (!copyDirectoryLink(it->path(), target.string()))
          result = false;
      } else if (directory) {
        if (!CopyDirectory(entry, target))
          return false;
      } else if (!CopyFile(entry, target)) {
        result = false;
      }
    } catch (const fs::filesystem_error& e) {
      copyError(e.what());
      result = false;
    }
  }
  if (ec) { // the source could not be listed (to the end)
    copyError(ec.message());
    return false;
  }
  return result;
}

void CreateAndValidateOutputDirectory(const char* dir, MessageCallback onError,
                                      MessageCallback onWarning, int, bool diskSpaceIsError) {
  const std::string given = orEmpty(dir);
  const Path path(given);
  if (path.empty())
    return;
  const auto send = [&](MessageCallback callback, const char* id,
                        std::map<std::string, std::string> parameters) {
    parameters.emplace("path", given);
    if (callback != nullptr)
      callback(id, parameters);
  };
  // Status queries with error codes: a path that cannot even be looked at (a parent that may not
  // be searched, a name too long) is a directory that could not be created, not an exception.
  boost::system::error_code ec;
  fs::file_status status = fs::status(path.string(), ec);
  const bool exists = fs::is_regular_file(status) || fs::is_directory(status);
  if (!exists && !MakeDirectory(path.c_str(), true))
    send(onError, "IO_ERR_COULD_NOT_CREATE_DIR", {{"details", gLastMessage}});
  status = fs::status(path.string(), ec);
  if (!fs::is_directory(status)) {
    send(onError,
         fs::is_regular_file(status) ? "IO_ERR_FILE_WHEN_EXPECTED_DIR"
                                     : "IO_ERR_DIR_DOES_NOT_EXIST",
         {});
    return;
  }
  if (!path.isWritable())
    send(onError, "IO_ERR_DIR_NOT_WRITABLE", {});
  if (!path.hasSpaceAvailable(100))
    send(diskSpaceIsError ? onError : onWarning, "IO_ERR_INSUFFICIENT_DISK_SPACE",
         {{"required", "100"}});
}

namespace {
// Both sides are compared in absolute, lexically normal form: "out/", "./out" and the absolute
// spelling of out name one directory, and a relative base against an absolute path needs the
// working directory to be compared at all. Runs of separators are one separator, as in every
// path of ours (the file-system library would read a leading "//" as a network name).
std::string relativePath(const char* path, const char* base) {
  const fs::path p = internal::absoluteNormal(Path(orEmpty(path)).string());
  const fs::path b = internal::absoluteNormal(Path(orEmpty(base)).string());
  auto pi = p.begin(), bi = b.begin();
  while (pi != p.end() && bi != b.end() && *pi == *bi) {
    ++pi;
    ++bi;
  }
  fs::path result;
  for (; bi != b.end(); ++bi)
    result /= "..";
  for (; pi != p.end(); ++pi)
    result /= *pi;
  return result.make_preferred().string();
}
} // namespace

void CreateRelativePath(const char* path, const char* base, char* out, std::size_t outSize) {
  if (out == nullptr || outSize == 0)
    return;
  const std::string result = relativePath(path, base);
  const std::size_t length = result.size() < outSize ? result.size() : outSize - 1;
  std::memcpy(out, result.data(), length);
  out[length] = '\0';
}

std::string CreateRelativePath(const char* path, const char* base) {
  return relativePath(path, base);
}

void GetAbsolutePath(const char* base, const char* path, std::string& result) {
  const std::string p = orEmpty(path);
  const auto separator = [](char c) { return c == '/' || c == '\\'; };
  if ((!p.empty() && separator(p[0])) || (p.size() >= 3 && p[1] == ':' && separator(p[2])))
    result = p;
  else
    result = fmt::sprintf("%s/%s", orEmpty(base), p);
}

std::string GetCurrentLibraryDirectory() {
  return Path(platform::currentModulePath()).getDirectory();
}

Path FindDirectoryInParents(const std::string& name, const std::string& start) {
  Path currDir(start);
  while (!currDir.isEmpty()) {
    currDir = Path(currDir.getDirectory());
    const Path candidate = currDir.join(name);
    boost::system::error_code ec; // an ancestor that may not be searched holds nothing for us
    if (fs::is_directory(fs::status(candidate.string(), ec)))
      return candidate;
  }
  LOOM_FAIL(fmt::sprintf("Can't find directory %s above %s.", name, start));
}

Path GetSubDirectory(const std::string& name) {
  return FindDirectoryInParents(name, GetCurrentLibraryDirectory());
}

std::string ToURI(const char* path) {
  return ToURI(std::string(orEmpty(path)));
}

std::string ToURI(std::string path) {
  for (char& c : path)
    if (c == '\\')
      c = '/';
  return "file:///" + path;
}

} // namespace io
} // namespace util
