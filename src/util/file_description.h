// Descriptions of the files a compile produces or refers to.
#ifndef LOOM_UTIL_FILE_DESCRIPTION_H
#define LOOM_UTIL_FILE_DESCRIPTION_H

#include "util/export.h"
#include "util/output_stream.h"
#include "util/path.h"

#include <cstdint>
#include <string>

// Descriptions of the files a compile produces or refers to, and their rendering into scripts
// and file lists:
//
//   FileDescription rtl(Path("rtl/fir.vhd"), VHDL_FILE, FileDescription::F_LOCAL,
//                       /*forSimulation=*/true, /*forSynthesis=*/true, false, true);
//   rtl.getPath("out", FileDescription::CONTEXT_SCRIPT);      // out/rtl/fir.vhd
//   FileDescription lib(Path("ip/lib/a.vhd"), VHDL_FILE, FileDescription::F_TESSERA, ...);
//   lib.getPath(nullptr, FileDescription::CONTEXT_ENVIRONMENT); // $::env(TESSERA_ROOTDIR)/ip/...

namespace util {
namespace io {

enum SourceFileType : std::int32_t {
  VHDL_FILE = 0,
  VERILOG_FILE = 1,
  SYSTEMVERILOG_FILE = 2,
  HEX_FILE = 3,
  QIP_FILE = 4,
  UNKNOWN_FILE = 5,
};

class LOOM_UTIL_API FileDescription {
public:
  enum FileType : std::int32_t {
    F_LOCAL = 0,   // relative to a base directory given when rendering; name abbreviated
    F_TESSERA = 1, // inside the Tessera installation; relative, rendered below its root
    F_INVALID = 2,
  };

  // Where a path is written. CONTEXT_ENVIRONMENT reads the Tessera root from the environment
  // ("$::env(TESSERA_ROOTDIR)"); every other context uses the script variable "$tessera_dir".
  enum Context : std::int32_t {
    CONTEXT_SCRIPT = 0,
    CONTEXT_FILE_LIST = 1,
    CONTEXT_ENVIRONMENT = 2,
  };

  FileDescription() = default;
  // An F_LOCAL path is stored with its file name abbreviated under the configured limits; an
  // F_TESSERA path must be relative (an internal restriction otherwise).
  FileDescription(const Path& path, SourceFileType sourceFileType, FileType fileType,
                  bool forSimulation, bool forSynthesis, bool forPlexus, bool generated);

  const Path& getPath() const { return m_path; }
  SourceFileType getSourceFileType() const { return mSourceFileType; }
  FileType getFileType() const { return m_file_type; }
  bool isForPlexus() const { return mForPlexus; }
  bool isForSynthesis() const { return mForSynthesis; }
  bool isForSimulation() const { return mForSimulation; }
  bool isGenerated() const { return mGenerated; }
  // Not F_INVALID, and the path names a file.
  bool isValid() const;

  // Same file type, same for-simulation flag, same path text.
  bool operator==(const FileDescription& other) const;
  // By file name alone: directories, types and flags play no part.
  bool operator<(const FileDescription& other) const;
  bool operator>(const FileDescription& other) const;

  // The path as written into a script: below the Tessera root, below `base` for a relative
  // local path, else as stored.
  Path getPath(const char* base, Context context) const;
  // Below the Tessera root, relative to `base` for a relative local path, else as stored.
  Path getPathRelativeTo(const char* base, Context context) const;
  static std::string getTesseraDir(Context context);
  // getPath's text through out.write(const std::string&): no indentation, no line end.
  void printPath(OutputStream& out, const char* base, Context context) const;

private:
  Path tesseraPath(Context context) const;

  FileType m_file_type = F_INVALID;
  SourceFileType mSourceFileType = UNKNOWN_FILE;
  bool mForPlexus = false;
  bool mForSynthesis = false;
  bool mForSimulation = false;
  bool mGenerated = false;
  Path m_path;
};

// ".vhd", ".v", ".sv"; other types are an internal restriction.
LOOM_UTIL_API const char* ExtensionFromSourceFileType(SourceFileType type);
// "VHDL_FILE" ... "QIP_FILE"; UNKNOWN_FILE is an internal restriction.
LOOM_UTIL_API const char* GetTesseraFileTypeText(SourceFileType type);
LOOM_UTIL_API bool IsHDLFile(SourceFileType type);

} // namespace io
} // namespace util

#endif
