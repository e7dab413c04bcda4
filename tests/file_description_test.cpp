#include "util/file_description.h"
#include <gmock/gmock.h>

using namespace util::io;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using FD = FileDescription;

FD local(const std::string& path, bool forSimulation = true) {
  return FD(Path(path), VHDL_FILE, FD::F_LOCAL, forSimulation, true, false, true);
}
FD tessera(const std::string& path, bool forSimulation = false) {
  return FD(Path(path), VERILOG_FILE, FD::F_TESSERA, forSimulation, true, true, false);
}

TEST(FileDescriptions, ValidityEqualityAndOrder) {
  EXPECT_FALSE(FD().isValid() || local("dir/").isValid());
  EXPECT_TRUE(local("a/b.sv").isValid());
  EXPECT_TRUE(FD().getFileType() == FD::F_INVALID && FD().getSourceFileType() == UNKNOWN_FILE);
  // Equal: same file type, simulation flag and path, whatever the other flags.
  const FD a(Path("x/y.vhd"), QIP_FILE, FD::F_LOCAL, true, false, true, false);
  EXPECT_TRUE(a == local("x/y.vhd"));
  EXPECT_FALSE(a == local("x/y.vhd", false) || a == tessera("x/y.vhd", true) ||
               a == local("x/Y.vhd"));
  // Ordered by file name alone.
  EXPECT_TRUE(local("b/a.vhd") < local("a/b.vhd") && local("a/b.vhd") > local("b/a.vhd"));
  EXPECT_FALSE(local("x/a.vhd") < local("y/a.vhd") || local("x/a.vhd") > local("y/a.vhd"));
  EXPECT_FALSE(local("a/b.vhd") < local("b/a.vhd") || local("b/a.vhd") > local("a/b.vhd"));
}

TEST(FileDescriptions, TesseraPathsRenderBelowTheRoot) {
  // And local paths below, or relative to, a base: {file, base, relative?, context, expected}.
  const std::string deep = std::string(300, 'd') + "/f.v"; // long results are not cut
  const auto S = FD::CONTEXT_SCRIPT, E = FD::CONTEXT_ENVIRONMENT;
  const std::tuple<FD, const char*, bool, FD::Context, std::string> rows[] = {
      {tessera("ip/a.vhd"), nullptr, false, E, "$::env(TESSERA_ROOTDIR)/ip/a.vhd"},
      {tessera("ip/a.vhd"), "x", false, S, "$tessera_dir/ip/a.vhd"},
      {tessera("a.vhd"), nullptr, true, FD::CONTEXT_FILE_LIST, "$tessera_dir/a.vhd"},
      {tessera("/abs/a.v"), "x", true, S, "$tessera_dir/abs/a.v"}, // "/" counts as relative
      {tessera("/abs/a.v"), "x", true, E, "$::env(TESSERA_ROOTDIR)/abs/a.v"},
      {local("x/y.v"), "out", false, S, "out/x/y.v"},
      {local("y.v"), "out", false, S, "out/y.v"},
      {local("x/y.v"), nullptr, false, S, "x/y.v"},
      {local("C:/x/y.v"), "out", false, S, "C:/x/y.v"},
      {local("C:/x/y.v"), "out", true, S, "C:/x/y.v"},
      {local("a/b/c.v"), "a/d", true, S, "../b/c.v"},
      {local("a/b.v"), nullptr, true, S, "a/b.v"},
      {local("a/" + deep), "a", true, S, deep}};
  for (const auto& [file, base, relative, context, expected] : rows) {
    EXPECT_EQ(
        (relative ? file.getPathRelativeTo(base, context) : file.getPath(base, context)).string(),
        expected);
    StringOutputStream out; // printPath: getPath's text, without indentation
    out.indent();
    file.printPath(out, base, context);
    out.close();
    file.printPath(out, base, context); // a disabled stream is left alone
    EXPECT_EQ(out.text(), file.getPath(base, context).string());
  }
  EXPECT_EXIT(tessera("C:/q/a.v"), ExitedWithCode(100),
              HasSubstr("'!(!m_path.isRelative() && m_file_type == FileDescription::F_TESSERA)'. "
                        "Tessera files must be specified relative ["));
  EXPECT_EXIT(tessera("\\\\?\\C:\\q\\a.v"), ExitedWithCode(100),
              HasSubstr("Tessera files must be specified relative"));
  // Local names are stored abbreviated, Tessera names are kept.
  const std::string name = std::string(130, 'n') + ".vhd";
  EXPECT_EQ(local("rtl/" + name).getPath().string(),
            "rtl/" + std::string(80, 'n') + "0000" + std::string(20, 'n') + ".vhd");
  EXPECT_EQ(tessera(name).getPath().string(), name);
}

TEST(SourceFileTypes, TablesAndUnreachableValues) {
  const std::tuple<SourceFileType, const char*, const char*> rows[] = {
      {VHDL_FILE, ".vhd", "VHDL_FILE"},
      {VERILOG_FILE, ".v", "VERILOG_FILE"},
      {SYSTEMVERILOG_FILE, ".sv", "SYSTEMVERILOG_FILE"},
      {HEX_FILE, nullptr, "HEX_FILE"},
      {QIP_FILE, nullptr, "QIP_FILE"},
      {UNKNOWN_FILE, nullptr, nullptr},
      {static_cast<SourceFileType>(-1), nullptr, nullptr}};
  for (const auto& [type, extension, text] : rows) {
    EXPECT_EQ(IsHDLFile(type), extension != nullptr) << type;
    if (extension != nullptr)
      EXPECT_STREQ(ExtensionFromSourceFileType(type), extension);
    else
      EXPECT_EXIT(ExtensionFromSourceFileType(type), ExitedWithCode(100),
                  HasSubstr("unreachable [util::io::ExtensionFromSourceFileType at"));
    if (text != nullptr)
      EXPECT_STREQ(GetTesseraFileTypeText(type), text);
    else
      EXPECT_EXIT(GetTesseraFileTypeText(type), ExitedWithCode(100),
                  HasSubstr("unreachable [util::io::GetTesseraFileTypeText at"));
  }
}
