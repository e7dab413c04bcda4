// The indenting text writer and its string and file outputs.
#include "util/output_stream.h"

#include "util/assert_handler.h"
#include "util/messages.h"

#include <cerrno>
#include <cstring>
#include <sstream>

namespace util {
namespace io {

const std::uint64_t OutputStream::MAX_INDENT_LEVEL = 20;

const char* const OutputStream::INDENT_STRINGS[20] = {
    "",
    "    ",
    "        ",
    "            ",
    "                ",
    "                    ",
    "                        ",
    "                            ",
    "                                ",
    "                                    ",
    "                                        ",
    "                                            ",
    "                                                ",
    "                                                    ",
    "                                                        ",
    "                                                            ",
    "                                                                ",
    "                                                                    ",
    "                                                                        ",
    "                                                                            ",
};

const char* const OutputStream::TABBED_INDENT_STRINGS[20] = {
    "",
    "\t",
    "\t\t",
    "\t\t\t",
    "\t\t\t\t",
    "\t\t\t\t\t",
    "\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
    "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t",
};

OutputStream::~OutputStream() = default;

void OutputStream::indent() {
  mIndentLevel = (mIndentLevel + 1) % MAX_INDENT_LEVEL;
}

void OutputStream::outdent() {
  LOOM_ASSERT(mIndentLevel > 0);
  --mIndentLevel;
}

const char* OutputStream::indentation() const {
  return mTabIndentationEnabled ? TABBED_INDENT_STRINGS[mIndentLevel]
                                : INDENT_STRINGS[mIndentLevel];
}

void OutputStream::writeIndented(const std::string& text) {
  if (!isEnabled())
    return;
  if (text.find('\n') == std::string::npos) {
    write(indentation());
    write(text);
    return;
  }
  // Lines as std::getline sees them: a final line end adds no empty line.
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line, '\n');) {
    write(indentation());
    write(line + "\n");
  }
}

void OutputStream::writeIndented(const char* text) {
  writeIndented(std::string(text != nullptr ? text : ""));
}

void OutputStream::writeLine(const std::string& text) {
  writeLine(text.c_str());
}

void OutputStream::writeLine(const char* text) {
  if (!isEnabled())
    return;
  if (text == nullptr || *text == '\0') {
    write("\n");
    return;
  }
  writeIndented(std::string(text) + "\n");
}

void OutputStream::writeNewLine() {
  if (isEnabled())
    write("\n");
}

FileOutputStream::FileOutputStream(const std::string& fileName)
    : mPath(fileName), mFile(std::fopen(fileName.c_str(), "wb")) {
  if (mFile == nullptr)
    fail("open the file", errno);
}

FileOutputStream::~FileOutputStream() {
  close();
}

void FileOutputStream::fail(const char* step, int error) {
  if (!mError)
    MessageHandlerRegister::warnings.ReceiveMessage(
        ("Could not write '" + mPath + "': " + step + ": " + std::strerror(error) + "\n").c_str());
  mError = true;
}

void FileOutputStream::flush() {
  if (mFile != nullptr && std::fflush(mFile) != 0)
    fail("flush the file", errno);
}

void FileOutputStream::close() {
  if (mFile != nullptr && std::fclose(mFile) != 0)
    fail("close the file", errno);
  mFile = nullptr;
}

void FileOutputStream::write(const char* text) {
  if (text != nullptr)
    write(text, std::strlen(text));
}

void FileOutputStream::write(const char* data, std::size_t size) {
  if (mFile == nullptr)
    fail("write the file", EBADF); // closed, or never opened
  else if (std::fwrite(data, 1, size, mFile) != size)
    fail("write the file", errno);
}

} // namespace io
} // namespace util
