// util::io::Path, file and directory names in normal form, and abbreviated file names.
#ifndef LOOM_UTIL_PATH_H
#define LOOM_UTIL_PATH_H

#include "util/export.h"

#include <cstdint>
#include <string>

// util::io::Path: a file or directory name held as one narrow string in normal form.
//
// Normal form: a leading "\\?\" or "\\" is kept as it is, every other backslash becomes "/",
// and runs of slashes collapse into one; nothing else changes (trailing slashes, "." and ".."
// stay). Decomposition is lexical and accepts both separators; the file-system queries go
// through Boost.Filesystem and never keep a handle.
//
//   Path p("C:\\work\\\\out\\");   // "C:/work/out/"
//   Path("a/b.c.d").getExtension(); // "d"
//   Path("a").join("b/c");          // "a/b/c"

namespace util {
namespace io {

class LOOM_UTIL_API Path {
public:
  Path() = default;
  Path(const std::string& text) { set(text); }
  Path(const char* text) { set(text != nullptr ? std::string(text) : std::string()); }

  std::string string() const { return m_path; }
  const char* c_str() const { return m_path.c_str(); }
  bool empty() const { return m_path.empty(); }
  bool isEmpty() const { return m_path.empty(); }

  // Byte-for-byte text comparison.
  bool operator==(const Path& other) const { return m_path == other.m_path; }
  bool operator!=(const Path& other) const { return m_path != other.m_path; }
  bool operator<(const Path& other) const { return m_path < other.m_path; }

  // Lexical decomposition; "/" and "\" both separate.
  std::string getFilename() const;
  std::string getDirectory() const;
  std::string getExtension() const;
  std::string getBaseName() const;
  // Replaces the extension (given without its dot); a path without one is left unchanged.
  void setExtension(const char* ext);

  // this + "/" + other (other's own root is not considered); an empty side gives the other.
  Path join(const Path& other) const;
  Path join(const std::string& other) const { return join(Path(other)); }
  Path join(const char* other) const { return join(Path(other)); }

  // Weakly canonical (when that works) and absolute against the working directory.
  Path getAbsolutePath() const;
  // The lexically relative path from base to this one, both weakly canonical and absolute;
  // a copy of this path when that fails.
  Path relativeTo(Path base) const;

  // Windows rules on every platform: "X:..." and "\\?\..." are absolute, all else relative.
  bool isRelative() const;
  bool isAbsolute() const { return !isRelative(); }

  // Status queries follow symbolic links; "not found" is false, other failures throw
  // boost::filesystem::filesystem_error.
  bool isFile() const;
  bool isDirectory() const;
  bool exists() const { return isFile() || isDirectory(); }
  // Exists, the kernel would let the caller write it (for a directory: create files in it), and
  // its volume answers a space query.
  bool isWritable() const;
  // A directory whose volume has at least `megabytes` MB available to the caller.
  bool hasSpaceAvailable(std::uint64_t megabytes) const;

  // Abbreviation of over-long file names. A base name longer than prefix + index + suffix
  // characters becomes its first maxPrefixLength characters, a base-36 index of
  // indexCharactersLength digits and its last maxSuffixLength characters; the extension is
  // kept. Names are unique per directory and stable until resetAbbreviation(). A function
  // name, when given, is moved to the front of the name:
  //
  //   Path("out/" + std::string(105, 'x') + ".vhd").getAbbreviated("", 80, 20, 4);
  //   // out/xxx...x (80) 0000 xxx...x (20) .vhd
  Path getAbbreviated(const std::string& functionName, std::uint64_t maxPrefixLength,
                      std::uint64_t maxSuffixLength, std::uint64_t indexCharactersLength) const;
  // The same under the feature limits, shrunk so that the absolute path fits 260 characters.
  Path getAbbreviatedDynamic() const;
  static void resetAbbreviation();
  // The features "maxFilenamePrefixLength", "maxFilenameSuffixLength" and
  // "maxFilenameIndexCharactersLength", sign-extended.
  static std::uint64_t getMaxFilenamePrefixLength();
  static std::uint64_t getMaxFilenameSuffixLength();
  static std::uint64_t getMaxFilenameIndexCharactersLength();

private:
  void set(const std::string& text);

  std::string m_path;
};

} // namespace io
} // namespace util

#endif
