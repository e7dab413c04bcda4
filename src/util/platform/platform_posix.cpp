#include "util/platform/platform.h"

#include <dlfcn.h>

namespace util {
namespace platform {

void debuggerOutput(const char* /*text*/) {}

std::string currentModulePath() {
  Dl_info info{};
  // Any function of this library names the module it was loaded from.
  if (dladdr(reinterpret_cast<void*>(&currentModulePath), &info) == 0 || info.dli_fname == nullptr)
    return std::string();
  return info.dli_fname;
}

} // namespace platform
} // namespace util
