// Absolute and normal forms of paths, shared by the path sources.
#ifndef LOOM_UTIL_INTERNAL_PATH_INTERNAL_H
#define LOOM_UTIL_INTERNAL_PATH_INTERNAL_H

// Helpers shared by the path sources; not part of the installed interface.

#include <boost/filesystem/path.hpp>

namespace util {
namespace io {
namespace internal {

// `p` made absolute against the working directory and lexically normal: no "." components, no
// empty ones, each ".." taking away the component before it (never above the root), and no
// trailing separator. Nothing is asked of the file system but the working directory; when that
// cannot be read, a relative `p` stays relative (still normalised).
boost::filesystem::path absoluteNormal(const boost::filesystem::path& p);

// `p` with what exists of it resolved through the file system (links, "..") and then made
// absolute and normal as above; absoluteNormal(p) when the file system cannot be asked.
boost::filesystem::path resolvedAbsolute(const boost::filesystem::path& p);

} // namespace internal
} // namespace io
} // namespace util

#endif
