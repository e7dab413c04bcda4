// Long names in a few directories: abbreviations never collide within a directory and have
// exactly the length the limits give.
#include "util/path.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

using util::io::Path;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4)
    return 0;
  Path::resetAbbreviation();
  const std::uint64_t prefix = 1 + data[0] % 12, suffix = 1 + data[1] % 6, index = 4;
  std::map<std::string, std::map<std::string, std::string>> seen; // dir -> result -> input
  static const char* const kDirectories[] = {"a", "a/b", "c"};
  std::size_t pos = 2;
  for (int count = 0; count < 400 && pos + 2 <= size; ++count) {
    const std::string directory = kDirectories[data[pos] % 3];
    const std::size_t length = 1 + data[pos + 1] % 40;
    pos += 2;
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
      const std::uint8_t c = pos < size ? data[pos++] : static_cast<std::uint8_t>(i);
      name += "aAbB_x."[c % 7];
    }
    const Path result = Path(directory + "/" + name).getAbbreviated("", prefix, suffix, index);
    const std::string file = result.getFilename();
    const Path input(directory + "/" + name);
    const std::string base = input.getBaseName();
    const std::string extension = input.getExtension();
    if (base.size() > prefix + suffix + index &&
        seen[directory].count(base) == 0) { // not itself an earlier result
      // The extension (and its dot, also for an empty one) is kept outside the limits.
      const bool dotted = name.find('.') != std::string::npos;
      const std::size_t expected = prefix + suffix + index + (dotted ? extension.size() + 1 : 0);
      if (file.size() != expected)
        std::abort();
    }
    const auto it = seen[directory].find(file);
    if (it != seen[directory].end() && it->second != name && it->first != name)
      std::abort(); // two different names share one abbreviation
    seen[directory].emplace(file, name);
  }
  return 0;
}
