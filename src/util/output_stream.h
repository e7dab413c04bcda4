// util::io::OutputStream, the indenting text writer of the code generators.
#ifndef LOOM_UTIL_OUTPUT_STREAM_H
#define LOOM_UTIL_OUTPUT_STREAM_H

#include "util/export.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// util::io::OutputStream: the indenting text writer of the code generators. This class owns
// the indentation (4 spaces or one tab a level, levels 0 to 19) and the line splitting; a
// subclass decides where the text goes. Two ship with the library:
//
//   util::io::StringOutputStream out;
//   out.writeLine("entity fir is");
//   out.indent();
//   out.writeLine("port (\nclk : in std_logic\n);"); // every line indented
//   out.outdent();
//   out.text(); // "entity fir is\n    port (\n    clk : in std_logic\n    );\n"

namespace util {
namespace io {

class LOOM_UTIL_API OutputStream {
public:
  OutputStream() = default;
  OutputStream(const OutputStream&) = default;
  OutputStream& operator=(const OutputStream&) = default;
  virtual ~OutputStream();

  // Pushes buffered text to its destination.
  virtual void flush() = 0;
  // Ends the output; later writes are the subclass's to refuse.
  virtual void close() = 0;
  // Asked before any output: while false, nothing is written.
  virtual bool isEnabled() = 0;
  // Receives indentation strings and lone line ends.
  virtual void write(const char* text) = 0;
  // Receives line texts (with their line end when the library adds one).
  virtual void write(const std::string& text) = 0;
  // Raw bytes, NULs included.
  virtual void write(const char* data, std::size_t size) = 0;
  // Whether a write has failed since the stream was opened.
  virtual bool hasError() const = 0;

  // The level after 19 is 0 again.
  void indent();
  // An internal restriction at level 0.
  void outdent();
  void setTabIndentationEnabled(bool enabled) { mTabIndentationEnabled = enabled; }
  bool isTabIndentationEnabled(bool = false) const { return mTabIndentationEnabled; }
  std::uint64_t getIndentLevel() const { return mIndentLevel; }

  // Each line of text indented; a line end is added to every line but a last one that had
  // none in a text without any line end.
  void writeIndented(const std::string& text);
  void writeIndented(const char* text);
  // The text as indented lines, each ended; the empty text gives a bare line end.
  void writeLine(const std::string& text);
  void writeLine(const char* text);
  void writeNewLine();

protected:
  static const std::uint64_t MAX_INDENT_LEVEL;
  static const char* const INDENT_STRINGS[20];
  static const char* const TABBED_INDENT_STRINGS[20];

private:
  const char* indentation() const;

  bool mTabIndentationEnabled = false;
  std::uint64_t mIndentLevel = 0;
};

// Collects everything written in a string.
class LOOM_UTIL_API StringOutputStream : public OutputStream {
public:
  void flush() override {}
  void close() override { mClosed = true; }
  bool isEnabled() override { return !mClosed; }
  void write(const char* text) override {
    if (text != nullptr)
      mText += text;
  }
  void write(const std::string& text) override { mText += text; }
  void write(const char* data, std::size_t size) override { mText.append(data, size); }
  bool hasError() const override { return false; }

  const std::string& text() const { return mText; }
  void clear() { mText.clear(); }

private:
  std::string mText;
  bool mClosed = false;
};

// Writes a file. A file that cannot be opened leaves the stream disabled (isEnabled() false)
// with hasError() true; a failed write, flush or close sets hasError(). The first failure is
// also reported once on the warning channel, with the path and the system's reason.
class LOOM_UTIL_API FileOutputStream : public OutputStream {
public:
  explicit FileOutputStream(const std::string& fileName);
  FileOutputStream(const FileOutputStream&) = delete;
  FileOutputStream& operator=(const FileOutputStream&) = delete;
  ~FileOutputStream() override;

  void flush() override;
  void close() override;
  bool isEnabled() override { return mFile != nullptr; }
  void write(const char* text) override;
  void write(const std::string& text) override { write(text.data(), text.size()); }
  void write(const char* data, std::size_t size) override;
  bool hasError() const override { return mError; }

private:
  void fail(const char* step, int error);

  std::string mPath;
  FILE* mFile;
  bool mError = false;
};

} // namespace io
} // namespace util

#endif
