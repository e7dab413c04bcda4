// Paths built from any text: the normal form is idempotent, and the decomposition and
// composition members keep their relations.
#include "util/path.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using util::io::Path;

namespace {
void check(bool ok) {
  if (!ok)
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const auto cut = all.find('\0');
  const std::string text = all.substr(0, cut);
  const std::string other = cut == std::string::npos ? "" : all.substr(cut + 1);

  const Path p(text);
  check(Path(p.string()) == p); // normalising twice changes nothing
  check(p.string().find("//") == std::string::npos || p.string().rfind("\\\\", 0) == 0);

  const std::string name = p.getFilename();
  check(name.find_first_of("/\\") == std::string::npos);
  const std::string extension = p.getExtension();
  if (!extension.empty())
    check(name.size() > extension.size() && name.compare(name.size() - extension.size() - 1,
                                                         std::string::npos, "." + extension) == 0);
  const std::string directory = p.getDirectory();
  check(directory.size() <= p.string().size());

  Path withExtension = p;
  withExtension.setExtension("v");
  check(withExtension.getDirectory() == directory);
  // A name with a dot gets the new extension (a trailing dot has an empty one); a name
  // without a dot stays as it is.
  if (name.find('.') != std::string::npos)
    check(withExtension.getExtension() == "v");
  else
    check(withExtension == p);

  const Path q(other);
  const Path joined = p.join(q);
  if (q.empty())
    check(joined == p);
  else if (p.empty())
    check(joined == q);
  else if (p.string() != "\\\\")
    check(joined == Path(p.string() + "/" + q.string()));
  check(Path(joined.string()) == joined);
  (void)p.isRelative();
  return 0;
}
