// Paths built from any text: the normal form is idempotent, and the decomposition and
// composition members keep their relations.
#include "util/path.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using util::io::Path;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const auto cut = all.find('\0');
  const Path p(all.substr(0, cut)), q(cut == std::string::npos ? "" : all.substr(cut + 1));
  const std::string text = p.string(), name = p.getFilename(), extension = p.getExtension();
  bool ok = Path(text) == p; // normalising twice changes nothing
  ok &= text.find("//") == std::string::npos || text.rfind("\\\\", 0) == 0;
  ok &= name.find_first_of("/\\") == std::string::npos;
  ok &= extension.empty() ||
        (name.size() > extension.size() &&
         name.compare(name.size() - extension.size() - 1, std::string::npos, "." + extension) == 0);
  // A name with a dot gets the new extension (a trailing dot has an empty one); a name
  // without a dot stays as it is.
  Path withExtension = p;
  withExtension.setExtension("v");
  ok &= withExtension.getDirectory() == p.getDirectory();
  ok &= name.find('.') != std::string::npos ? withExtension.getExtension() == "v"
                                            : withExtension == p;
  const Path joined = p.join(q);
  if (q.empty() || p.empty())
    ok &= joined == (q.empty() ? p : q);
  else if (text != "\\\\")
    ok &= joined == Path(text + "/" + q.string());
  ok &= Path(joined.string()) == joined;
  if (!ok)
    std::abort();
  return 0;
}
