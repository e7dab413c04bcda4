// Path normal form, decomposition and queries, and abbreviated file names.
#include "util/path.h"

#include "util/assert_handler.h"
#include "util/feature_store.h"
#include "util/internal/loom_feature_internal.h"
#include "util/internal/path_internal.h"
#include "util/internal/platform.h"
#include "util/messages.h"
#include "util/string_utils.h"

#include <boost/filesystem.hpp>
#include <fmt/format.h>
#include <fmt/printf.h>

#include <climits>
#include <cstdio>
#include <functional>
#include <list>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

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

} // namespace

namespace internal {

fs::path absoluteNormal(const fs::path& p) {
  fs::path absolute = p;
  if (!p.has_root_directory()) {
    boost::system::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (!ec)
      absolute = cwd / p;
  }
  std::vector<fs::path> parts;
  for (const fs::path& part : absolute.relative_path()) {
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..")
        parts.pop_back();
      else if (!absolute.has_root_directory())
        parts.push_back(part); // a relative path may climb; the root has no parent
    } else if (part != "." && !part.empty()) {
      parts.push_back(part);
    }
  }
  fs::path normal = absolute.root_path();
  for (const fs::path& part : parts)
    normal /= part;
  return normal;
}

fs::path resolvedAbsolute(const fs::path& p) {
  boost::system::error_code ec;
  const fs::path canonical = fs::weakly_canonical(p, ec);
  return absoluteNormal(ec ? p : canonical);
}

} // namespace internal

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
  return Path(internal::resolvedAbsolute(m_path).string());
}

Path Path::relativeTo(Path base) const {
  try {
    const fs::path self = internal::resolvedAbsolute(m_path);
    const fs::path from = internal::resolvedAbsolute(base.m_path);
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

// Both are yes/no questions asked while validating output directories: a status that cannot be
// read (permission denied on a parent, a name too long) answers no instead of throwing.
bool Path::isWritable() const {
  boost::system::error_code ec;
  const fs::file_status status = fs::status(m_path, ec);
  const bool directory = fs::is_directory(status);
  if (ec || !(fs::is_regular_file(status) || directory))
    return false;
  // The kernel's own answer: mode bits alone miss a read-only mount, an immutable directory and
  // a directory of another owner, and call root's 0500 directory unwritable.
  const bool writable = platform::writableByCaller(m_path.c_str(), directory);
  fs::space(m_path, ec);
  return !ec && writable;
}

bool Path::hasSpaceAvailable(std::uint64_t megabytes) const {
  boost::system::error_code ec;
  if (!fs::is_directory(fs::status(m_path, ec)) || ec)
    return false;
  if (megabytes > (UINT64_MAX >> 20))
    return false; // no volume holds that many bytes
  const fs::space_info info = fs::space(m_path, ec);
  return !ec && info.available >= (megabytes << 20);
}

// ---------------------------------------------------------------------------------------------
// Abbreviation of over-long file names

namespace {

using Length = std::uint64_t;

Length saturatingAdd(Length a, Length b) {
  return a + b < a ? UINT64_MAX : a + b;
}

template <typename T> void hashCombine(std::size_t& seed, const T& value) {
  seed ^= std::hash<T>()(value) + 0x9e3779b97f4a7c15ull + (seed << 6) + (seed >> 2);
}

struct ResultKey {
  Length maxPrefix, maxSuffix;
  std::string name;
  bool operator==(const ResultKey& o) const {
    return maxPrefix == o.maxPrefix && maxSuffix == o.maxSuffix && name == o.name;
  }
};
struct ResultKeyHash {
  std::size_t operator()(const ResultKey& k) const {
    std::size_t seed = std::hash<std::string>()(k.name);
    hashCombine(seed, k.maxPrefix);
    hashCombine(seed, k.maxSuffix);
    return seed;
  }
};
using GroupKey = std::pair<std::string, std::string>; // lower-cased prefix and suffix
struct GroupKeyHash {
  std::size_t operator()(const GroupKey& k) const {
    std::size_t seed = std::hash<std::string>()(k.first);
    hashCombine(seed, k.second);
    return seed;
  }
};

// The abbreviations of one directory. Every name handed out is registered case-folded with
// the request that got it (file name and function name), so that no two requests are given one
// name, also on a file system that ignores case. A name's first candidate is the one it has
// always had; a candidate another request holds instead takes the highest free index of its
// group, counting down, so the numbering of every other name stays as it was.
class PathAbbreviator {
public:
  std::string abbreviate(const std::string& baseName, const std::string& extension,
                         Length maxPrefixLength, Length maxSuffixLength,
                         Length indexCharactersLength, const std::string& llvmFunctionName);
  // Takes over what `other` handed out: one directory seen under two names before it existed.
  void absorb(PathAbbreviator& other);

private:
  struct Group {
    std::uint64_t next = 0;        // the next index counting up from 0
    std::uint64_t usedFromTop = 0; // indexes given counting down from the largest
  };
  std::string indexed(const std::string& name, Length maxPrefixLength, Length maxSuffixLength,
                      Length indexCharactersLength, bool fromTop);
  bool claim(const std::string& fileName, const std::string& owner);

  std::unordered_map<ResultKey, std::string, ResultKeyHash> mResults; // by the name after the
                                                                      // function name moved
  std::unordered_map<ResultKey, std::string, ResultKeyHash> mMoved;   // by request, off their
                                                                      // first candidate
  std::unordered_set<std::string> mProduced;                          // abbreviated base names
  std::unordered_set<std::string> mWithFunction;       // file names handed out with a function name
  std::unordered_map<std::string, std::string> mTaken; // folded file name -> request
  std::unordered_map<GroupKey, Group, GroupKeyHash> mGroups;
};

std::map<std::string, std::string>& truncatedFunctionNameMap() {
  static std::map<std::string, std::string> names;
  return names;
}

// One abbreviator per directory on disk, found by device and inode, so that every spelling of
// it ("out", "./out", the absolute form, a link, a bind mount) shares one numbering. A directory
// that does not exist yet is known by its nearest existing ancestor and the names below that,
// until it exists.
struct Directories {
  struct Pending {
    PathAbbreviator* abbreviator;
    std::string path; // to look for it again
  };
  std::list<PathAbbreviator> all;
  std::map<std::string, PathAbbreviator*> byIdentity;
  std::map<std::string, Pending> pending;
};
Directories& directories() {
  static Directories theDirectories;
  return theDirectories;
}

std::string directoryKey(const std::string& directory) {
  return internal::resolvedAbsolute(directory).string();
}

PathAbbreviator& abbreviatorFor(const std::string& directory) {
  Directories& d = directories();
  const std::string text = directoryKey(directory);
  std::string identity = platform::directoryIdentity(text.c_str());
  if (identity.empty()) {
    fs::path above = text;
    std::string below;
    while (identity.empty() && above.has_relative_path()) {
      below = "/" + above.filename().string() + below;
      above = above.parent_path();
      identity = platform::directoryIdentity(above.string().c_str());
    }
    Directories::Pending& slot = d.pending[identity.empty() ? text : identity + below];
    if (slot.abbreviator == nullptr)
      slot = {&d.all.emplace_back(), text};
    return *slot.abbreviator;
  }
  PathAbbreviator*& slot = d.byIdentity[identity];
  if (slot != nullptr)
    return *slot;
  // Names given before the directory existed, under any spelling, stay given.
  for (auto it = d.pending.begin(); it != d.pending.end();) {
    PathAbbreviator* const earlier = it->second.abbreviator;
    if (platform::directoryIdentity(it->second.path.c_str()) != identity) {
      ++it;
      continue;
    }
    if (slot == nullptr) {
      slot = earlier;
    } else {
      slot->absorb(*earlier);
      d.all.remove_if([&](const PathAbbreviator& a) { return &a == earlier; });
    }
    it = d.pending.erase(it);
  }
  if (slot == nullptr)
    slot = &d.all.emplace_back();
  return *slot;
}

bool abbreviationLogEnabled() {
  return GetFeatureBooleanWithDefault(util::internal::kAbbreviationLogKey, false);
}

// The debug log is opened for each record, shared with other processes. Its first failure
// after a working write is reported on the warning channel; records are not worth more.
void appendToLog(const std::string& text) {
  static bool failing = false;
  const platform::WriteOutcome outcome = platform::appendToFile("abbreviation_debug_log.txt", text);
  if (!outcome.written && !failing)
    MessageHandlerRegister::warnings.ReceiveMessage(
        fmt::format("Could not write abbreviation_debug_log.txt: {}\n",
                    platform::describeFailure(outcome.failedStep, outcome.error))
            .c_str());
  failing = !outcome.written;
}

// `index` in base 36 with exactly `digits` digits; false when it does not fit.
bool base36(std::uint64_t index, Length digits, std::string& out) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  out.assign(digits, '0');
  for (Length i = digits; i > 0 && index != 0; --i) {
    out[i - 1] = kDigits[index % 36];
    index /= 36;
  }
  return index == 0;
}

// The largest index of `digits` base-36 digits that the 32-bit group counter reaches.
std::uint64_t largestIndex(Length digits) {
  std::uint64_t largest = 1;
  for (Length i = 0; i < digits && largest <= UINT32_MAX; ++i)
    largest *= 36;
  return std::min<std::uint64_t>(largest - 1, UINT32_MAX);
}

std::string moveFunctionToFront(std::string name, const std::string& function) {
  const auto at = name.find(function);
  if (at != std::string::npos) {
    name.erase(at, function.size());
    name = name.empty() ? function : function + "_" + name;
  } else {
    name = function + "_" + name;
  }
  std::string collapsed;
  for (char c : name)
    if (c != '_' || collapsed.empty() || collapsed.back() != '_')
      collapsed += c;
  return collapsed;
}

// The name cut to its first and last characters around the next index of their group. A name
// within the limits is kept whole, the index put after its first maxPrefixLength characters.
std::string PathAbbreviator::indexed(const std::string& name, Length maxPrefixLength,
                                     Length maxSuffixLength, Length indexCharactersLength,
                                     bool fromTop) {
  const std::size_t prefixLength = std::min<Length>(maxPrefixLength, name.size());
  const std::size_t suffixLength = std::min<Length>(maxSuffixLength, name.size() - prefixLength);
  const std::string prefix = name.substr(0, prefixLength);
  const std::string suffix = name.substr(name.size() - suffixLength);
  Group& group = mGroups[GroupKey(toLower(prefix), toLower(suffix))];
  const std::uint64_t largest = largestIndex(indexCharactersLength);
  // Counting down, the digits are written for a name within the limits, which huge limits
  // (from negative features) cannot give: no file name holds more than 255 bytes.
  bool overflow = fromTop ? group.usedFromTop > largest || indexCharactersLength > 255
                          : group.next > UINT32_MAX;
  const std::uint64_t index = fromTop ? largest - group.usedFromTop++ : group.next++;
  std::string indexString;
  overflow = overflow || !base36(index, indexCharactersLength, indexString);
  LOOM_ASSERT_MSG(!overflow,
                  "The name abbreviation system has produced too many abbreviated file names "
                  "that are identical. You may be able to avoid this error by shortening design "
                  "or folder names.");
  return fmt::format("{}{}{}", prefix, indexString, suffix);
}

bool PathAbbreviator::claim(const std::string& fileName, const std::string& owner) {
  const auto taken = mTaken.emplace(toLower(fileName), owner);
  return taken.second || taken.first->second == owner;
}

std::string PathAbbreviator::abbreviate(const std::string& baseName, const std::string& extension,
                                        Length maxPrefixLength, Length maxSuffixLength,
                                        Length indexCharactersLength,
                                        const std::string& llvmFunctionName) {
  LOOM_ASSERT(llvmFunctionName.size() <= maxPrefixLength);
  const std::string fileName = baseName + extension;
  if (mProduced.count(baseName) != 0)
    return fileName; // never abbreviate an abbreviation again
  const Length limit =
      saturatingAdd(saturatingAdd(maxPrefixLength, maxSuffixLength), indexCharactersLength);
  // A name handed out with a function name and passed back without one is that same file.
  if (llvmFunctionName.empty() && fileName.size() <= limit && mWithFunction.count(fileName) != 0)
    return fileName;
  const std::string owner = fileName + '\0' + llvmFunctionName;
  const ResultKey request{maxPrefixLength, maxSuffixLength, owner};
  const auto moved = mMoved.find(request);
  if (moved != mMoved.end())
    return moved->second;

  const std::string name =
      llvmFunctionName.empty() ? baseName : moveFunctionToFront(baseName, llvmFunctionName);
  std::string candidate = name;
  if (name.size() > limit) {
    ResultKey key{maxPrefixLength, maxSuffixLength, name};
    const auto cached = mResults.find(key);
    if (cached != mResults.end()) {
      candidate = cached->second;
    } else {
      candidate = indexed(name, maxPrefixLength, maxSuffixLength, indexCharactersLength, false);
      mResults.emplace(std::move(key), candidate);
      mProduced.insert(candidate);
    }
  }
  std::string result = candidate + extension;
  if (!claim(result, owner)) {
    do {
      candidate = indexed(name, maxPrefixLength, maxSuffixLength, indexCharactersLength, true);
      result = candidate + extension;
    } while (!claim(result, owner));
    mProduced.insert(candidate);
    mMoved.emplace(request, result);
  }
  if (!llvmFunctionName.empty())
    mWithFunction.insert(result);
  return result;
}

void PathAbbreviator::absorb(PathAbbreviator& other) {
  mResults.insert(other.mResults.begin(), other.mResults.end());
  mMoved.insert(other.mMoved.begin(), other.mMoved.end());
  mProduced.insert(other.mProduced.begin(), other.mProduced.end());
  mWithFunction.insert(other.mWithFunction.begin(), other.mWithFunction.end());
  mTaken.insert(other.mTaken.begin(), other.mTaken.end());
  for (const auto& entry : other.mGroups) {
    Group& group = mGroups[entry.first];
    group.next = std::max(group.next, entry.second.next);
    group.usedFromTop = std::max(group.usedFromTop, entry.second.usedFromTop);
  }
}

std::string abbreviateImpl(const std::string& filename, const std::string& directory,
                           Length maxPrefixLength, Length maxSuffixLength,
                           Length indexCharactersLength, std::string llvmFunctionName) {
  if (llvmFunctionName.size() > maxPrefixLength) {
    const std::string fullLengthFuncName = llvmFunctionName;
    llvmFunctionName.resize(maxPrefixLength);
    std::map<std::string, std::string>& truncatedFunctionNames = truncatedFunctionNameMap();
    LOOM_ASSERT_MSG(truncatedFunctionNames.count(llvmFunctionName) == 0 ||
                        truncatedFunctionNames.at(llvmFunctionName) == fullLengthFuncName,
                    fmt::sprintf("At least two llvm function names were not unique within the "
                                 "first %d characters. <%s> and <%s>.The common backend can not "
                                 "abbreviate these names safely and entity name global "
                                 "uniqueness errors may occur.",
                                 maxPrefixLength, truncatedFunctionNames.at(llvmFunctionName),
                                 fullLengthFuncName));
    truncatedFunctionNames[llvmFunctionName] = fullLengthFuncName;
  }
  LOOM_ASSERT(maxPrefixLength > 0);
  LOOM_ASSERT(maxSuffixLength > 0);
  LOOM_ASSERT(indexCharactersLength > 0);
  const auto slash = filename.find_first_of("/\\");
  LOOM_ASSERT_MSG(slash == std::string::npos,
                  "Directory information found in abbreviation where filename only expected.");

  const Path fullPath = Path(directory).join(filename);
  // The extension goes back with its dot, also an empty one: "abc." must not become "abc".
  const std::string extension =
      extensionDot(fullPath.string()) != std::string::npos ? "." + fullPath.getExtension() : "";
  const std::string result =
      abbreviatorFor(fullPath.getDirectory())
          .abbreviate(fullPath.getBaseName(), extension, maxPrefixLength, maxSuffixLength,
                      indexCharactersLength, llvmFunctionName);

  if (abbreviationLogEnabled())
    appendToLog(fmt::format("Input: {}\nDirectory: {}\nPrefix/suffix/index chars: {}/{}/{}\n"
                            "Function: {}\nResult: {}\n\n",
                            filename, directory, maxPrefixLength, maxSuffixLength,
                            indexCharactersLength, llvmFunctionName, result));
  return result;
}

Length featureLength(const LoomFeature<int>& feature) {
  return static_cast<Length>(static_cast<std::int64_t>(GetFeature(feature)));
}

} // namespace

Path Path::getAbbreviated(const std::string& functionName, std::uint64_t maxPrefixLength,
                          std::uint64_t maxSuffixLength,
                          std::uint64_t indexCharactersLength) const {
  if (empty())
    return Path();
  if (abbreviationLogEnabled())
    appendToLog("Full path: " + m_path + "\n");
  // A path that names a directory ("dir/") has no file name to shorten; joining the empty
  // result to its directory would drop the trailing separator and turn it into a file name.
  if (getFilename().empty())
    return *this;
  const std::string name = abbreviateImpl(getFilename(), getDirectory(), maxPrefixLength,
                                          maxSuffixLength, indexCharactersLength, functionName);
  return Path(getDirectory()).join(name);
}

Path Path::getAbbreviatedDynamic() const {
  static constexpr std::int64_t MIN_LENGTH_PERMITTED = 20;
  static constexpr std::int64_t kPathLimit = 260;
  if (empty())
    return Path();
  const Length indexChars = getMaxFilenameIndexCharactersLength();
  const Length maxPrefixLength = getMaxFilenamePrefixLength();
  const Length maxSuffixLength = getMaxFilenameSuffixLength();
  const Path a = isRelative() ? getAbsolutePath() : *this;

  // Characters taken by the directory with its separator and by the extension with its dot.
  const auto separator = lastSeparator(a.m_path);
  const auto dot = extensionDot(a.m_path);
  const std::int64_t used =
      static_cast<std::int64_t>(separator == std::string::npos ? 0 : separator + 1) +
      static_cast<std::int64_t>(dot == std::string::npos ? 0 : a.m_path.size() - dot);
  const std::int64_t quota =
      kPathLimit - static_cast<std::int64_t>(indexChars < 4096 ? indexChars : 4096) - used;
  const std::int32_t remainingQuota =
      static_cast<std::int32_t>(quota < INT32_MIN ? INT32_MIN : quota);
  LOOM_ASSERT_MSG(remainingQuota > MIN_LENGTH_PERMITTED,
                  "Output path was too long, dynamic name abbreviation failed. Try outputting to "
                  "a path with fewer characters.");
  LOOM_ASSERT((maxPrefixLength + maxSuffixLength) > 0);
  // The sum saturates, so that huge limits (negative features, sign-extended) cannot give a
  // ratio above 1.
  const float prefixRatio = static_cast<float>(maxPrefixLength) /
                            static_cast<float>(saturatingAdd(maxPrefixLength, maxSuffixLength));
  LOOM_ASSERT(prefixRatio > 0);
  const auto dynamicPrefix =
      static_cast<std::int32_t>(static_cast<float>(remainingQuota) * prefixRatio);
  const std::int32_t dynamicSuffix = remainingQuota - dynamicPrefix;

  const std::string name = abbreviateImpl(
      a.getFilename(), a.getDirectory(),
      std::min<Length>(maxPrefixLength, static_cast<Length>(dynamicPrefix)),
      std::min<Length>(maxSuffixLength, static_cast<Length>(dynamicSuffix)), indexChars, "");
  return Path(getDirectory()).join(name);
}

void Path::resetAbbreviation() {
  truncatedFunctionNameMap().clear();
  directories() = Directories();
}

std::uint64_t Path::getMaxFilenamePrefixLength() {
  return featureLength(Features::MAX_FILENAME_PREFIX_LENGTH);
}
std::uint64_t Path::getMaxFilenameSuffixLength() {
  return featureLength(Features::MAX_FILENAME_SUFFIX_LENGTH);
}
std::uint64_t Path::getMaxFilenameIndexCharactersLength() {
  return featureLength(Features::MAX_FILENAME_INDEX_CHARACTERS_LENGTH);
}

} // namespace io
} // namespace util
