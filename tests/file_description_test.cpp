#include "util/file_description.h"

#include "util/feature_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using namespace util::io;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

FileDescription local(const char* path, bool forSimulation = true, bool forSynthesis = true) {
  return FileDescription(Path(path), VHDL_FILE, FileDescription::F_LOCAL, forSimulation,
                         forSynthesis, false, true);
}

FileDescription tessera(const char* path) {
  return FileDescription(Path(path), VERILOG_FILE, FileDescription::F_TESSERA, false, true, true,
                         false);
}

class FileDescriptions : public ::testing::Test {
protected:
  void SetUp() override { Path::resetAbbreviation(); }
  void TearDown() override { Path::resetAbbreviation(); }
};

TEST_F(FileDescriptions, ValidityAndStoredFlags) {
  const FileDescription none;
  EXPECT_FALSE(none.isValid());
  EXPECT_EQ(none.getFileType(), FileDescription::F_INVALID);
  EXPECT_EQ(none.getSourceFileType(), UNKNOWN_FILE);
  EXPECT_FALSE(local("").isValid());
  EXPECT_FALSE(local("dir/").isValid());
  const FileDescription d(Path("a/b.sv"), SYSTEMVERILOG_FILE, FileDescription::F_LOCAL,
                          /*forSimulation=*/true, /*forSynthesis=*/false, /*forPlexus=*/true,
                          /*generated=*/false);
  EXPECT_TRUE(d.isValid());
  EXPECT_TRUE(d.isForSimulation());
  EXPECT_FALSE(d.isForSynthesis());
  EXPECT_TRUE(d.isForPlexus());
  EXPECT_FALSE(d.isGenerated());
  EXPECT_EQ(d.getSourceFileType(), SYSTEMVERILOG_FILE);
}

TEST_F(FileDescriptions, EqualityIgnoresAllButTypeSimulationAndPath) {
  const FileDescription a(Path("x/y.vhd"), VHDL_FILE, FileDescription::F_LOCAL, true, true, true,
                          true);
  const FileDescription b(Path("x/y.vhd"), QIP_FILE, FileDescription::F_LOCAL, true, false, false,
                          false);
  EXPECT_TRUE(a == b);
  EXPECT_FALSE(a == local("x/y.vhd", false));
  EXPECT_FALSE(a == FileDescription(Path("x/y.vhd"), VHDL_FILE, FileDescription::F_TESSERA, true,
                                    true, true, true));
  EXPECT_FALSE(a == local("x/Y.vhd"));
}

TEST_F(FileDescriptions, SortingLooksAtFileNamesOnly) {
  std::vector<FileDescription> list{local("a/c.vhd"), local("a/b.vhd"), local("b/a.vhd")};
  std::sort(list.begin(), list.end());
  EXPECT_EQ(list[0].getPath().string(), "b/a.vhd");
  EXPECT_EQ(list[1].getPath().string(), "a/b.vhd");
  EXPECT_EQ(list[2].getPath().string(), "a/c.vhd");
  EXPECT_TRUE(local("z/a.vhd") > local("a/0.vhd"));
  EXPECT_FALSE(local("x/a.vhd") < local("y/a.vhd"));
  EXPECT_FALSE(local("y/a.vhd") < local("x/a.vhd"));
}

TEST_F(FileDescriptions, TesseraPathsRenderBelowTheRoot) {
  EXPECT_EQ(tessera("ip/lib/a.vhd").getPath(nullptr, FileDescription::CONTEXT_ENVIRONMENT).string(),
            "$::env(TESSERA_ROOTDIR)/ip/lib/a.vhd");
  EXPECT_EQ(tessera("ip/lib/a.vhd").getPath("ignored", FileDescription::CONTEXT_SCRIPT).string(),
            "$tessera_dir/ip/lib/a.vhd");
  EXPECT_EQ(tessera("a.vhd").getPath(nullptr, FileDescription::CONTEXT_FILE_LIST).string(),
            "$tessera_dir/a.vhd");
  EXPECT_EQ(tessera("/abs/a.v").getPathRelativeTo("x", FileDescription::CONTEXT_SCRIPT).string(),
            "$tessera_dir/abs/a.v"); // "/" counts as relative
  EXPECT_EQ(FileDescription::getTesseraDir(FileDescription::CONTEXT_ENVIRONMENT),
            "$::env(TESSERA_ROOTDIR)");
  EXPECT_EXIT(tessera("C:/q/a.v"), ExitedWithCode(100),
              HasSubstr("'!(!m_path.isRelative() && m_file_type == FileDescription::F_TESSERA)'. "
                        "Tessera files must be specified relative ["));
  EXPECT_EXIT(tessera("\\\\?\\C:\\q\\a.v"), ExitedWithCode(100),
              HasSubstr("Tessera files must be specified relative"));
}

TEST_F(FileDescriptions, LocalPathsRenderBelowOrRelativeToABase) {
  EXPECT_EQ(local("x/y.v").getPath("out", FileDescription::CONTEXT_SCRIPT).string(), "out/x/y.v");
  EXPECT_EQ(local("y.v").getPath("out", FileDescription::CONTEXT_SCRIPT).string(), "out/y.v");
  EXPECT_EQ(local("x/y.v").getPath(nullptr, FileDescription::CONTEXT_SCRIPT).string(), "x/y.v");
  EXPECT_EQ(local("C:/x/y.v").getPath("out", FileDescription::CONTEXT_SCRIPT).string(), "C:/x/y.v");
  EXPECT_EQ(local("a/b/c.v").getPathRelativeTo("a/d", FileDescription::CONTEXT_SCRIPT).string(),
            "../b/c.v");
  EXPECT_EQ(local("a/b.v").getPathRelativeTo(nullptr, FileDescription::CONTEXT_SCRIPT).string(),
            "a/b.v");
  // Long results are not cut.
  const std::string deep = "a/" + std::string(300, 'd') + "/f.v";
  EXPECT_EQ(local(deep.c_str()).getPathRelativeTo("a", FileDescription::CONTEXT_SCRIPT).string(),
            std::string(300, 'd') + "/f.v");

  StringOutputStream out;
  out.indent();
  local("x/y.v").printPath(out, "out", FileDescription::CONTEXT_SCRIPT);
  EXPECT_EQ(out.text(), "out/x/y.v");
}

TEST_F(FileDescriptions, LongLocalNamesAreStoredAbbreviated) {
  const std::string name = "rtl/" + std::string(130, 'n') + ".vhd";
  const FileDescription d = local(name.c_str());
  EXPECT_EQ(d.getPath().string(),
            "rtl/" + std::string(80, 'n') + "0000" + std::string(20, 'n') + ".vhd");
  const FileDescription t = tessera(name.c_str() + 4);
  EXPECT_EQ(t.getPath().string(), name.substr(4)); // Tessera names are kept
}

TEST(SourceFileTypes, TablesAndUnreachableValues) {
  EXPECT_STREQ(ExtensionFromSourceFileType(VHDL_FILE), ".vhd");
  EXPECT_STREQ(ExtensionFromSourceFileType(VERILOG_FILE), ".v");
  EXPECT_STREQ(ExtensionFromSourceFileType(SYSTEMVERILOG_FILE), ".sv");
  EXPECT_STREQ(GetTesseraFileTypeText(HEX_FILE), "HEX_FILE");
  EXPECT_STREQ(GetTesseraFileTypeText(QIP_FILE), "QIP_FILE");
  EXPECT_STREQ(GetTesseraFileTypeText(SYSTEMVERILOG_FILE), "SYSTEMVERILOG_FILE");
  EXPECT_TRUE(IsHDLFile(VERILOG_FILE));
  EXPECT_FALSE(IsHDLFile(HEX_FILE));
  EXPECT_FALSE(IsHDLFile(static_cast<SourceFileType>(-1)));
  EXPECT_EXIT(ExtensionFromSourceFileType(HEX_FILE), ExitedWithCode(100),
              HasSubstr("Code should be unreachable [util::io::ExtensionFromSourceFileType at"));
  EXPECT_EXIT(GetTesseraFileTypeText(UNKNOWN_FILE), ExitedWithCode(100),
              HasSubstr("Code should be unreachable [util::io::GetTesseraFileTypeText at"));
}

} // namespace
