#include "util/platform/platform.h"

namespace util {
namespace platform {

void debuggerOutput(const char* /*text*/) {}

} // namespace platform
} // namespace util
