#include "util/output_stream.h"

#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using util::io::OutputStream;

// Records every write call: "c:" for the const char* form, "s:" for the string form.
class RecordingStream : public OutputStream {
public:
  void flush() override {}
  void close() override {}
  bool isEnabled() override { return enabled; }
  void write(const char* text) override { calls.push_back(std::string("c:") + text); }
  void write(const std::string& text) override { calls.push_back("s:" + text); }
  void write(const char* data, std::size_t size) override {
    calls.push_back("r:" + std::string(data, size));
  }
  bool hasError() const override { return false; }

  bool enabled = true;
  std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

TEST(OutputStreamIndent, WritesIndentationThenTextWithoutALineEnd) {
  RecordingStream out;
  out.indent();
  out.indent();
  out.writeIndented("abc");
  EXPECT_EQ(out.calls, (Calls{"c:        ", "s:abc"}));
}

TEST(OutputStreamIndent, SplitsLinesLikeGetline) {
  RecordingStream out;
  out.setTabIndentationEnabled(true);
  out.indent();
  out.writeIndented("a\nb");
  EXPECT_EQ(out.calls, (Calls{"c:\t", "s:a\n", "c:\t", "s:b\n"}));
  out.calls.clear();
  out.writeIndented(std::string("a\n\nb"));
  EXPECT_EQ(out.calls, (Calls{"c:\t", "s:a\n", "c:\t", "s:\n", "c:\t", "s:b\n"}));
  out.calls.clear();
  out.writeIndented("a\n");
  EXPECT_EQ(out.calls, (Calls{"c:\t", "s:a\n"}));
  out.calls.clear();
  out.writeIndented("\n");
  EXPECT_EQ(out.calls, (Calls{"c:\t", "s:\n"}));
  out.calls.clear();
  out.writeIndented(static_cast<const char*>(nullptr));
  EXPECT_EQ(out.calls, (Calls{"c:\t", "s:"}));
}

TEST(OutputStreamIndent, WriteLineEndsEveryLine) {
  RecordingStream out;
  out.indent();
  out.writeLine("");
  EXPECT_EQ(out.calls, (Calls{"c:\n"}));
  out.calls.clear();
  out.writeLine(std::string("a\n"));
  EXPECT_EQ(out.calls, (Calls{"c:    ", "s:a\n", "c:    ", "s:\n"}));
  out.calls.clear();
  out.writeLine(std::string("x\0y", 3)); // the NUL-terminated view: "x"
  EXPECT_EQ(out.calls, (Calls{"c:    ", "s:x\n"}));
  out.calls.clear();
  out.writeNewLine();
  EXPECT_EQ(out.calls, (Calls{"c:\n"}));
}

TEST(OutputStreamIndent, LevelsWrapAfterNineteenAndTabsAreKeptOnCopies) {
  RecordingStream out;
  for (int i = 0; i < 19; ++i)
    out.indent();
  out.writeIndented("x");
  EXPECT_EQ(out.calls[0], "c:" + std::string(76, ' '));
  out.indent();
  EXPECT_EQ(out.getIndentLevel(), 0u);
  out.setTabIndentationEnabled(true);
  EXPECT_TRUE(out.isTabIndentationEnabled(false));
  EXPECT_TRUE(out.isTabIndentationEnabled(true));
  for (int i = 0; i < 19; ++i)
    out.indent();
  RecordingStream copy(out);
  copy.calls.clear();
  copy.writeIndented("y");
  EXPECT_EQ(copy.calls, (Calls{"c:" + std::string(19, '\t'), "s:y"}));
  copy.outdent();
  EXPECT_EQ(copy.getIndentLevel(), 18u);
  RecordingStream fresh;
  EXPECT_DEATH(fresh.outdent(), "'mIndentLevel > 0' \\[util::io::OutputStream::outdent at "
                                "src/util/output_stream.cpp:[0-9]+\\]");
}

TEST(OutputStreamIndent, DisabledStreamsNeverWrite) {
  RecordingStream out;
  out.enabled = false;
  out.indent();
  out.writeIndented("a\nb");
  out.writeIndented(std::string("a"));
  out.writeLine("a");
  out.writeLine("");
  out.writeNewLine();
  EXPECT_TRUE(out.calls.empty());
}

class ConcreteStreams : public TempDirTest {};

TEST_F(ConcreteStreams, StringAndFileStreamsCollectTheText) {
  util::io::StringOutputStream text;
  text.writeLine("entity fir is");
  text.indent();
  text.writeLine("port (\nclk : in std_logic\n);");
  text.outdent();
  text.write("raw\0bytes", 9);
  text.write(static_cast<const char*>(nullptr)); // as empty, like the file stream
  EXPECT_EQ(text.text(), std::string("entity fir is\n    port (\n    clk : in std_logic\n    );\n"
                                     "raw\0bytes",
                                     64));
  EXPECT_FALSE(text.hasError());
  text.close();
  EXPECT_FALSE(text.isEnabled());

  {
    util::io::FileOutputStream file("out.txt");
    EXPECT_TRUE(file.isEnabled());
    file.indent();
    file.writeLine("a\nb");
    file.write(static_cast<const char*>(nullptr));
    file.flush();
    EXPECT_FALSE(file.hasError());
  }
  std::ifstream in("out.txt");
  std::stringstream contents;
  contents << in.rdbuf();
  EXPECT_EQ(contents.str(), "    a\n    b\n");

  util::io::FileOutputStream missing("no/such/dir/out.txt");
  EXPECT_FALSE(missing.isEnabled());
  EXPECT_TRUE(missing.hasError());
  missing.writeLine("ignored"); // disabled: nothing happens, nothing crashes
  util::io::FileOutputStream full("/dev/full");
  ASSERT_TRUE(full.isEnabled());
  full.writeLine(std::string(100000, 'x'));
  full.flush();
  EXPECT_TRUE(full.hasError());
}

} // namespace
