// Release facts and the installation root.
#include "util/version.h"

#include "util/assert_handler.h"
#include "util/path_utils.h"

#include <fmt/printf.h>

#include <cstdlib>

LOOM_UTIL_EARLY_INIT const std::string orca_version = "22.1";
LOOM_UTIL_EARLY_INIT const std::string orca_version_code = "%%version_code%%";
LOOM_UTIL_EARLY_INIT const std::string orca_build_number = "5.1";
LOOM_UTIL_EARLY_INIT const std::string orca_build_date = "05/21/2022";
LOOM_UTIL_EARLY_INIT const std::string orca_service_pack = "%%service_pack%%";
LOOM_UTIL_EARLY_INIT const std::string orca_sp_date = "%%sp_date%%";

namespace util {

std::string GetOrcaVersionString() {
  static const std::string banner = fmt::sprintf("%s Version %s (%s #%s)", "Meridian", orca_version,
                                                 "Release Build", orca_build_number);
  return banner;
}

std::string GetOrcaYear() {
  static const std::string year = orca_build_date.substr(6, 4);
  return year;
}

io::Path GetLoomRootDir() {
  if (const char* root = std::getenv("LOOM_ROOTDIR"))
    return io::Path(root);
  for (io::Path dir(io::GetCurrentLibraryDirectory()); !dir.isEmpty();
       dir = io::Path(dir.getDirectory())) {
    if (dir.getFilename() == "loom")
      return dir;
  }
  aster_error_printf("LOOM_ROOTDIR is not set and failed to manually locate loom.");
}

} // namespace util
