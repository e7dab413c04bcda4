// Long names in a few directories: abbreviations never collide within a directory and have
// exactly the length the limits give.
#include "util/path.h"

#include <cstdint>
#include <cstdlib>
#include <map>

using util::io::Path;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4)
    return 0;
  Path::resetAbbreviation();
  const std::uint64_t prefix = 1 + data[0] % 12, suffix = 1 + data[1] % 6, index = 4;
  std::map<std::string, std::map<std::string, std::string>> seen; // dir -> result -> input
  static const char* const kDirectories[] = {"a", "a/b", "c"};
  for (std::size_t pos = 4, count = 0; count < 400 && pos <= size; ++count, pos += 2) {
    const std::string directory = kDirectories[data[pos - 2] % 3]; // two bytes, then the name
    std::string name(1 + data[pos - 1] % 40, 'x');
    for (std::size_t i = 0; i < name.size(); ++i) // the input's next bytes, then counting bytes
      name[i] = "aAbB_x."[(pos < size ? data[pos++] : i) % 7];
    const Path input(directory + "/" + name);
    const std::string file = input.getAbbreviated("", prefix, suffix, index).getFilename();
    // Beyond the limits and not an earlier result: the limits plus any dot and extension.
    const std::string base = input.getBaseName(),
                      dotted = name.find('.') != name.npos ? "." + input.getExtension() : "";
    if (base.size() > prefix + suffix + index && seen[directory].count(base) == 0 &&
        file.size() != prefix + suffix + index + dotted.size())
      std::abort();
    const auto [it, added] = seen[directory].emplace(file, name);
    if (!added && it->second != name && it->first != name)
      std::abort(); // two different names share one abbreviation
  }
  return 0;
}
