#include "temp_dir.h"
#include "util/output_stream.h"
#include <fstream>
#include <sstream>

using util::io::FileOutputStream;
using util::io::StringOutputStream;

TEST(OutputStreamIndent, SplitsLinesLikeGetlineAndWriteLineEndsEveryLine) {
  // text; writeIndented and writeLine of it at one level of tabs (each in both forms)
  const char* const rows[][3] = {{"abc", "\tabc", "\tabc\n"},
                                 {"", "\t", "\n"},
                                 {"a\nb", "\ta\n\tb\n", "\ta\n\tb\n"},
                                 {"a\n", "\ta\n", "\ta\n\t\n"},
                                 {"a\n\nb", "\ta\n\t\n\tb\n", "\ta\n\t\n\tb\n"},
                                 {"\n", "\t\n", "\t\n\t\n"}};
  for (const auto& r : rows) {
    StringOutputStream out;
    out.setTabIndentationEnabled(true);
    for (int closed = 0; closed < 2; ++closed) { // a closed stream writes nothing more
      out.indent();
      out.writeIndented(r[0]);
      out.writeIndented(std::string(r[0]));
      out.writeLine(r[0]);
      out.writeLine(std::string(r[0]));
      out.writeNewLine();
      out.close();
    }
    EXPECT_EQ(out.text(), std::string(r[1]) + r[1] + r[2] + r[2] + "\n") << r[0];
  }
  StringOutputStream out;
  out.indent();
  out.writeIndented(static_cast<const char*>(nullptr));
  out.writeLine(std::string("x\0y", 3)); // the NUL-terminated view: "x"
  out.writeLine(static_cast<const char*>(nullptr));
  EXPECT_EQ(out.text(), "        x\n\n");
}

TEST(OutputStreamIndent, LevelsWrapAfterNineteenAndTabsAreKeptOnCopies) {
  StringOutputStream out;
  for (int i = 0; i < 19; ++i)
    out.indent();
  out.writeIndented("x");
  EXPECT_EQ(out.text(), std::string(76, ' ') + "x");
  out.indent();
  EXPECT_EQ(out.getIndentLevel(), 0u);
  out.setTabIndentationEnabled(true);
  for (int i = 0; i < 19; ++i)
    out.indent();
  StringOutputStream copy(out);
  copy.clear();
  copy.outdent();
  copy.writeIndented("y");
  EXPECT_EQ(copy.text(), std::string(18, '\t') + "y");
  EXPECT_DEATH(StringOutputStream().outdent(), "'mIndentLevel > 0' \\[util::io::OutputStream::"
                                               "outdent at src/util/output_stream.cpp:[0-9]+\\]");
}

class ConcreteStreams : public TempDirTest {};

TEST_F(ConcreteStreams, StringAndFileStreamsCollectTheText) {
  StringOutputStream text;
  text.write("raw\0bytes", 9);
  text.write(static_cast<const char*>(nullptr)); // as empty, like the file stream
  EXPECT_EQ(text.text(), std::string("raw\0bytes", 9));
  EXPECT_TRUE(text.isEnabled() && !text.hasError());
  {
    FileOutputStream file("out.txt");
    file.indent();
    file.writeLine("a\nb");
    file.write(static_cast<const char*>(nullptr));
    file.flush();
    EXPECT_TRUE(file.isEnabled() && !file.hasError());
  }
  std::stringstream contents;
  contents << std::ifstream("out.txt").rdbuf();
  EXPECT_EQ(contents.str(), "    a\n    b\n");
  FileOutputStream missing("no/such/dir/out.txt");
  missing.writeLine("ignored"); // disabled: nothing happens, nothing crashes
  EXPECT_TRUE(!missing.isEnabled() && missing.hasError());
  // A write too large to buffer fails at once, a buffered one when flushed or closed; a write
  // after closing is an error too.
  FileOutputStream full("/dev/full"), flushed("/dev/full"), closed("/dev/full"), late("late.txt");
  full.write(std::string(100000, 'x'));
  flushed.write("x");
  flushed.flush();
  closed.write("x");
  closed.close();
  late.close();
  EXPECT_FALSE(late.hasError());
  late.write("x");
  EXPECT_TRUE(full.hasError() && flushed.hasError() && closed.hasError() && late.hasError());
}
