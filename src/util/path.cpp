#include "util/path.h"

#include <boost/filesystem.hpp>

namespace fs = boost::filesystem;

namespace util {
namespace io {

namespace {

std::string::size_type lastSeparator(const std::string& text) {
  return text.find_last_of("/\\");
}

// The position of the last "." when it belongs to the file name, else npos.
std::string::size_type extensionDot(const std::string& text) {
  const auto dot = text.rfind('.');
  if (dot == std::string::npos)
    return dot;
  const auto separator = lastSeparator(text);
  return separator == std::string::npos || dot > separator ? dot : std::string::npos;
}

fs::path weaklyCanonicalAbsolute(const fs::path& p) {
  boost::system::error_code ec;
  fs::path canonical = fs::weakly_canonical(p, ec);
  return fs::absolute(ec ? p : canonical);
}

} // namespace

void Path::set(const std::string& text) {
  std::string::size_type kept = 0;
  if (text.compare(0, 3, "\\\\?") == 0)
    kept = 3;
  else if (text.compare(0, 2, "\\\\") == 0)
    kept = 2;
  std::string normal = text.substr(0, kept);
  normal.reserve(text.size());
  for (std::string::size_type i = kept; i < text.size(); ++i) {
    const char c = text[i] == '\\' ? '/' : text[i];
    if (c == '/' && !normal.empty() && normal.back() == '/' && normal.size() > kept)
      continue;
    normal += c;
  }
  m_path = std::move(normal);
}

std::string Path::getFilename() const {
  const auto separator = lastSeparator(m_path);
  return separator == std::string::npos ? m_path : m_path.substr(separator + 1);
}

std::string Path::getDirectory() const {
  const auto separator = lastSeparator(m_path);
  if (separator == std::string::npos)
    return std::string();
  if (separator == 0)
    return m_path.size() >= 2 ? "/" : std::string();
  return m_path.substr(0, separator);
}

std::string Path::getExtension() const {
  const auto dot = extensionDot(m_path);
  return dot == std::string::npos ? std::string() : m_path.substr(dot + 1);
}

std::string Path::getBaseName() const {
  const std::string name = getFilename();
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

void Path::setExtension(const char* ext) {
  const auto dot = extensionDot(m_path);
  if (dot != std::string::npos)
    m_path = m_path.substr(0, dot + 1) + (ext != nullptr ? ext : "");
}

Path Path::join(const Path& other) const {
  if (other.empty())
    return *this;
  if (empty())
    return other;
  if (m_path == "\\\\")
    return Path(m_path + other.m_path);
  return Path(m_path + "/" + other.m_path);
}

Path Path::getAbsolutePath() const {
  return Path(weaklyCanonicalAbsolute(m_path).string());
}

Path Path::relativeTo(Path base) const {
  try {
    const fs::path self = weaklyCanonicalAbsolute(m_path);
    const fs::path from = weaklyCanonicalAbsolute(base.m_path);
    return Path(self.lexically_relative(from).string());
  } catch (...) {
    return *this;
  }
}

bool Path::isRelative() const {
  if (m_path.size() >= 2 && m_path[1] == ':')
    return false;
  return !(m_path.size() >= 3 && m_path.compare(0, 3, "\\\\?") == 0);
}

bool Path::isFile() const {
  return fs::is_regular_file(fs::status(m_path));
}

bool Path::isDirectory() const {
  return fs::is_directory(fs::status(m_path));
}

bool Path::isWritable() const {
  if (!exists())
    return false;
  const fs::perms owner = fs::owner_read | fs::owner_write;
  const bool writable = (fs::status(m_path).permissions() & owner) == owner;
  boost::system::error_code ec;
  fs::space(m_path, ec);
  return !ec && writable;
}

bool Path::hasSpaceAvailable(std::uint64_t megabytes) const {
  if (!isDirectory())
    return false;
  if (megabytes > (UINT64_MAX >> 20))
    return false; // no volume holds that many bytes
  boost::system::error_code ec;
  const fs::space_info info = fs::space(m_path, ec);
  return !ec && info.available >= (megabytes << 20);
}

} // namespace io
} // namespace util
