// Release facts of the tool suite and the installation root.
#ifndef LOOM_UTIL_VERSION_H
#define LOOM_UTIL_VERSION_H

#include "util/export.h"
#include "util/path.h"

#include <string>

//   util::GetOrcaVersionString(); // "Meridian Version 22.1 (Release Build #5.1)"
//   util::GetLoomRootDir();       // $LOOM_ROOTDIR, or the nearest ancestor directory "loom"
//                                 // of the loaded library

LOOM_UTIL_API extern const std::string orca_version;
LOOM_UTIL_API extern const std::string orca_version_code;
LOOM_UTIL_API extern const std::string orca_build_number;
LOOM_UTIL_API extern const std::string orca_build_date;
LOOM_UTIL_API extern const std::string orca_service_pack;
LOOM_UTIL_API extern const std::string orca_sp_date;

namespace util {

// Formed once per process (also under concurrent first calls).
LOOM_UTIL_API std::string GetOrcaVersionString();
LOOM_UTIL_API std::string GetOrcaYear();

// "LOOM_ROOTDIR" as given when it is set; otherwise the nearest directory named exactly "loom"
// above (or at) the library's own directory. Ends the process through aster_error_printf
// when there is none.
LOOM_UTIL_API io::Path GetLoomRootDir();

} // namespace util

#endif
