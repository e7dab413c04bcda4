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
  EXPECT_FALSE(FD().isValid() || FD().isForSynthesis() || FD().isForSimulation() ||
               FD().isForPlexus() || FD().isGenerated() || local("dir/").isValid());
  // Equal: same file type, simulation flag and path. Ordered by file name alone.
  const FD a(Path("x/y.vhd"), QIP_FILE, FD::F_LOCAL, true, false, true, false);
  EXPECT_TRUE(local("a/b.sv").isValid() && a == local("x/y.vhd") &&
              local("b/a.vhd") < local("a/b.vhd") && local("a/b.vhd") > local("b/a.vhd"));
  EXPECT_FALSE(a == local("x/y.vhd", false) || a == tessera("x/y.vhd", true) ||
               a == local("x/Y.vhd") || local("x/a.vhd") < local("y/a.vhd") ||
               local("a/b.vhd") < local("b/a.vhd") || local("b/a.vhd") > local("a/b.vhd"));
}

TEST(FileDescriptions, TesseraPathsRenderBelowTheRoot) {
  const std::string name = std::string(130, 'n') + ".vhd",
                    cut = std::string(80, 'n') + "0000" + std::string(20, 'n') + ".vhd";
  const auto S = FD::CONTEXT_SCRIPT, E = FD::CONTEXT_ENVIRONMENT;
  const std::tuple<FD, const char*, bool, FD::Context, std::string> rows[] = {
      // relative?
      {tessera("ip/a.vhd"), nullptr, false, E, "$::env(TESSERA_ROOTDIR)/ip/a.vhd"},
      {tessera(name), "x", true, FD::CONTEXT_FILE_LIST, "$tessera_dir/" + name},
      {local("x/y.v"), "out", false, S, "out/x/y.v"},
      {local("rtl/" + name), nullptr, false, S, "rtl/" + cut}, // stored abbreviated
      {local("C:/x/y.v"), "out", true, S, "C:/x/y.v"},
      {local("a/b/c.v"), "a/d", true, S, "../b/c.v"},
  };
  for (const auto& [file, base, relative, context, expected] : rows) {
    StringOutputStream out; // printPath: getPath's text, without indentation
    out.indent();
    file.printPath(out, base, context);
    EXPECT_EQ(relative ? file.getPathRelativeTo(base, context).string() : out.text(), expected);
  }
}

TEST(SourceFileTypes, TablesAndUnreachableValues) {
  std::string got;
  for (auto type : {VHDL_FILE, VERILOG_FILE, SYSTEMVERILOG_FILE, HEX_FILE, QIP_FILE})
    got += GetTesseraFileTypeText(type) +
           std::string(IsHDLFile(type) ? ExtensionFromSourceFileType(type) : "-") + " ";
  EXPECT_EQ(got, "VHDL_FILE.vhd VERILOG_FILE.v SYSTEMVERILOG_FILE.sv HEX_FILE- QIP_FILE- ");
  const std::pair<void (*)(), const char*> deaths[] = {
      {[] { tessera("C:/q/a.v"); }, "Tessera files must be specified relative"},
      {[] { ExtensionFromSourceFileType(HEX_FILE); }, "unreachable [util::io::ExtensionFrom"},
      {[] { GetTesseraFileTypeText(UNKNOWN_FILE); }, "unreachable [util::io::GetTesseraFile"}};
  for (const auto& [statement, text] : deaths)
    EXPECT_EXIT(statement(), ExitedWithCode(100), HasSubstr(text)) << text;
}
