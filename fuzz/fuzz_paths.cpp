// Paths built from any text: the normal form is idempotent, and the decomposition and
// composition members keep their relations.
#include "util/path.h"

#include <cstdint>
#include <cstdlib>

using util::io::Path;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size); // p, then q after a NUL
  const auto cut = all.find('\0');
  const Path p(all.substr(0, cut)), q(cut == std::string::npos ? "" : all.substr(cut + 1));
  const std::string text = p.string(), name = p.getFilename(), ext = p.getExtension();
  bool ok = Path(text) == p && name.find_first_of("/\\") == std::string::npos; // normal twice
  ok &= text.find("//") == std::string::npos || text.rfind("\\\\", 0) == 0;
  ok &= ext.empty() || (name.size() > ext.size() &&
                        name.compare(name.size() - ext.size() - 1, ext.size() + 1, "." + ext) == 0);
  // A dotted name gets the new extension (a trailing dot has an empty one); others stay.
  Path withV = p;
  withV.setExtension("v");
  ok &= withV.getDirectory() == p.getDirectory() &&
        (name.find('.') != std::string::npos ? withV.getExtension() == "v" : withV == p);
  const Path joined = p.join(q);
  ok &= q.empty() || p.empty() ? joined == (q.empty() ? p : q)
                               : text == "\\\\" || joined == Path(text + "/" + q.string());
  if (!ok || Path(joined.string()) != joined)
    std::abort();
  return 0;
}
