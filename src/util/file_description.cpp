// File descriptions and their rendering into scripts and file lists.
#include "util/file_description.h"

#include "util/assert_handler.h"
#include "util/path_utils.h"

namespace util {
namespace io {

FileDescription::FileDescription(const Path& path, SourceFileType sourceFileType, FileType fileType,
                                 bool forSimulation, bool forSynthesis, bool forPlexus,
                                 bool generated)
    : m_file_type(fileType), mSourceFileType(sourceFileType), mForPlexus(forPlexus),
      mForSynthesis(forSynthesis), mForSimulation(forSimulation), mGenerated(generated),
      m_path(fileType == F_LOCAL ? path.getAbbreviated("", Path::getMaxFilenamePrefixLength(),
                                                       Path::getMaxFilenameSuffixLength(),
                                                       Path::getMaxFilenameIndexCharactersLength())
                                 : path) {
  LOOM_ASSERT_MSG(!(!m_path.isRelative() && m_file_type == FileDescription::F_TESSERA),
                  "Tessera files must be specified relative");
}

bool FileDescription::isValid() const {
  return m_file_type != F_INVALID && !m_path.getFilename().empty();
}

bool FileDescription::operator==(const FileDescription& other) const {
  return m_file_type == other.m_file_type && mForSimulation == other.mForSimulation &&
         m_path == other.m_path;
}

bool FileDescription::operator<(const FileDescription& other) const {
  return m_path.getFilename() < other.m_path.getFilename();
}

bool FileDescription::operator>(const FileDescription& other) const {
  return other < *this;
}

std::string FileDescription::getTesseraDir(Context context) {
  return context == CONTEXT_ENVIRONMENT ? "$::env(TESSERA_ROOTDIR)" : "$tessera_dir";
}

Path FileDescription::tesseraPath(Context context) const {
  return Path(getTesseraDir(context) + "/" + m_path.getDirectory()).join(m_path.getFilename());
}

Path FileDescription::getPath(const char* base, Context context) const {
  if (m_file_type == F_TESSERA) {
    LOOM_ASSERT(m_path.isRelative());
    return tesseraPath(context);
  }
  if (m_path.isRelative() && base != nullptr)
    return Path(std::string(base) + "/" + m_path.getDirectory()).join(m_path.getFilename());
  return m_path;
}

Path FileDescription::getPathRelativeTo(const char* base, Context context) const {
  if (m_file_type == F_TESSERA)
    return tesseraPath(context);
  if (m_path.isRelative() && base != nullptr)
    return Path(CreateRelativePath(m_path.c_str(), base));
  return m_path;
}

void FileDescription::printPath(OutputStream& out, const char* base, Context context) const {
  if (out.isEnabled())
    out.write(getPath(base, context).string());
}

const char* ExtensionFromSourceFileType(SourceFileType type) {
  switch (type) {
  case VHDL_FILE:
    return ".vhd";
  case VERILOG_FILE:
    return ".v";
  case SYSTEMVERILOG_FILE:
    return ".sv";
  default:
    LOOM_UNREACHABLE();
  }
}

const char* GetTesseraFileTypeText(SourceFileType type) {
  switch (type) {
  case VHDL_FILE:
    return "VHDL_FILE";
  case VERILOG_FILE:
    return "VERILOG_FILE";
  case SYSTEMVERILOG_FILE:
    return "SYSTEMVERILOG_FILE";
  case HEX_FILE:
    return "HEX_FILE";
  case QIP_FILE:
    return "QIP_FILE";
  default:
    LOOM_UNREACHABLE();
  }
}

bool IsHDLFile(SourceFileType type) {
  return static_cast<std::uint32_t>(type) < 3u;
}

} // namespace io
} // namespace util
