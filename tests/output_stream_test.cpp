#include "channel_texts.h"
#include "temp_dir.h"
#include "util/output_stream.h"

using namespace util::io;

TEST(OutputStreamIndent, SplitsLinesLikeGetlineAndWriteLineEndsEveryLine) {
  StringOutputStream out;
  out.setTabIndentationEnabled(true);
  out.indent();
  for (const char* text : {"", "a\n", "a\n\nb", static_cast<const char*>(nullptr)})
    out.writeIndented(text), out.writeLine(text);
  out.writeLine(std::string("x\0y", 3)); // the NUL-terminated view: "x"
  out.close();                           // a closed stream writes nothing more
  out.writeLine("b");
  EXPECT_EQ(out.text(), std::string("\t") + "\n" + "\ta\n" + "\ta\n\t\n" + "\ta\n\t\n\tb\n" +
                            "\ta\n\t\n\tb\n" + "\t" + "\n" + "\tx\n");
}

TEST(OutputStreamIndent, LevelsWrapAfterNineteenAndTabsAreKeptOnCopies) {
  StringOutputStream out;
  out.setTabIndentationEnabled(true);
  for (int i = 0; i < 19; ++i)
    out.indent();
  StringOutputStream copy(out);
  out.writeIndented("x");
  out.indent();
  EXPECT_EQ(out.text(), std::string(19, '\t') + "x");
  EXPECT_EQ(out.getIndentLevel(), 0u);
  copy.outdent();
  copy.writeIndented("y");
  EXPECT_EQ(copy.text(), std::string(18, '\t') + "y");
  EXPECT_DEATH(StringOutputStream().outdent(), "'mIndentLevel > 0' \\[util::io::OutputStream::");
}

class ConcreteStreams : public TempDirTest {};

TEST_F(ConcreteStreams, StringAndFileStreamsCollectTheText) {
  ChannelTexts warnings(MessageHandlerRegister::warnings);
  StringOutputStream text;
  text.write("raw\0bytes", 9);
  text.write(static_cast<const char*>(nullptr)); // as empty, like the file stream
  EXPECT_EQ(text.text(), std::string("raw\0bytes", 9));
  EXPECT_FALSE(text.hasError()); // memory never fails
  FileOutputStream file("out.txt"), missing("no/such/dir/out.txt");
  file.indent();
  file.writeLine("a\nb");
  file.write(static_cast<const char*>(nullptr));
  file.close();
  missing.writeLine("ignored"); // disabled: nothing happens, nothing crashes
  EXPECT_EQ(contentOf("out.txt"), "    a\n    b\n");
  EXPECT_FALSE(missing.isEnabled());
  EXPECT_TRUE(missing.hasError());
  EXPECT_FALSE(file.hasError());
  // On /dev/full a big write fails at once, a buffered one when flushed or closed.
  FileOutputStream full("/dev/full"), flushed("/dev/full"), closed("/dev/full");
  full.write(std::string(100000, 'x'));
  flushed.write("x");
  flushed.flush();
  closed.write("x");
  closed.close();
  file.write("x"); // after closing
  for (const FileOutputStream* failed : {&full, &flushed, &closed, &file})
    EXPECT_TRUE(failed->hasError());
  full.close(); // a second failure is not reported again
  const std::string disk = "'/dev/full': ", reason = ": No space left on device\n";
  EXPECT_EQ(warnings.texts,
            (std::vector<std::string>{
                "Could not write 'no/such/dir/out.txt': open the file: No such file or directory\n",
                "Could not write " + disk + "write the file" + reason,
                "Could not write " + disk + "flush the file" + reason,
                "Could not write " + disk + "close the file" + reason,
                "Could not write 'out.txt': write the file: Bad file descriptor\n"}));
}
