// What a compiler back end does with the library: options become features, problems arrive
// through its own message interface, the output directory is validated, generated HDL files
// are written with indentation under (abbreviated) entity names, listed for two script
// contexts, and every pass is timed, leaving profiling reports and a trace behind.
//
//   backend_host [--out DIR] [--feature key=value]... [--weak-feature key=value]...

#include "util/feature_store.h"
#include "util/file_description.h"
#include "util/messages.h"
#include "util/output_stream.h"
#include "util/path_utils.h"
#include "util/profiling.h"
#include "util/version.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace util::io;

namespace {

// The host's sink: it turns ids into texts of its own.
struct HostMessages : util::MessageInterface {
  void print(const char* kind, const std::string& id, const util::MessageParameters& p) {
    std::printf("[%s] %s", kind, id.c_str());
    for (const auto& kv : p)
      std::printf(" %s=%s", kv.first.c_str(), kv.second.c_str());
    std::printf("\n");
  }
  void error(const std::string& id, const util::MessageParameters& p) override {
    print("error", id, p);
    ++errors;
  }
  void warning(const std::string& id, const util::MessageParameters& p) override {
    print("warning", id, p);
  }
  void info(const std::string& id, const util::MessageParameters& p) override {
    print("info", id, p);
  }
  void debug(const std::string&, const util::MessageParameters&) override {}
  int errors = 0;
};

HostMessages gMessages;

void onDirectoryError(const std::string& id, const std::map<std::string, std::string>& p) {
  gMessages.error(id, p);
}
void onDirectoryWarning(const std::string& id, const std::map<std::string, std::string>& p) {
  gMessages.warning(id, p);
}

// "key=value" into the store: true/false as booleans, numbers as int or double, else text.
// One generated VHDL entity: a register stage per tap, written with nested indentation.
void writeEntity(OutputStream& out, const std::string& entity, int taps) {
  out.writeLine("library ieee;\nuse ieee.std_logic_1164.all;");
  out.writeNewLine();
  out.writeLine("entity " + entity + " is");
  out.indent();
  out.writeLine("port (");
  out.indent();
  out.writeLine("clk : in std_logic;\nx : in std_logic_vector(15 downto 0);\n"
                "y : out std_logic_vector(15 downto 0)");
  out.outdent();
  out.writeLine(");");
  out.outdent();
  out.writeLine("end entity;");
  out.writeNewLine();
  out.writeLine("architecture rtl of " + entity + " is");
  out.writeLine("begin");
  out.indent();
  out.writeLine("process (clk) begin");
  out.indent();
  out.writeLine("if rising_edge(clk) then");
  out.indent();
  for (int t = 0; t < taps; ++t)
    out.writeLine("-- tap " + std::to_string(t));
  out.writeLine("y <= x;");
  out.outdent();
  out.writeLine("end if;");
  out.outdent();
  out.writeLine("end process;");
  out.outdent();
  out.writeLine("end architecture;");
}

} // namespace

int main(int argc, char** argv) {
  std::string outDir = "backend_demo_output";
  util::setMessageInterface(&gMessages); // bad feature values on the command line arrive here
  {
    for (int i = 1; i < argc; ++i) {
      const std::string arg = argv[i];
      if (arg == "--out" && i + 1 < argc)
        outDir = argv[++i];
      else if (arg == "--feature" && i + 1 < argc && util::SetFeatureFromText(argv[i + 1]))
        ++i; // typed by the registered key; a bad value went to the message sink
      else if (arg == "--weak-feature" && i + 1 < argc)
        util::SetWeakFeatureFromText(argv[++i]);
      else {
        std::fprintf(stderr,
                     "usage: %s [--out DIR] [--feature k=v]... [--weak-feature k=v]...\n"
                     "features (key, default, current value):\n",
                     argv[0]);
        for (const util::FeatureInfo& f : util::ListFeatures())
          std::fprintf(stderr, "  %-50s %-12s %s\n", f.key.c_str(), f.defaultValue.c_str(),
                       f.value.c_str());
        return 2;
      }
    }
    // The host's own defaults, weak so that the command line wins.
    util::SetWeakFeatureBoolean("ProfilingLogEnabled", true);
    util::SetWeakFeatureBoolean("ProfilingLogDetailedEnabled", true);
    util::SetWeakFeatureBoolean("ProfilingLogTraceEnabled", true);
    util::SetWeakFeatureInteger("maxFilenamePrefixLength", 40);
    util::SetWeakFeatureInteger("maxFilenameSuffixLength", 12);
    util::ProfilingLog::flush(""); // take the profiling features in
  }
  util::ScopedProfiling whole({"backend", "demo design"});
  std::printf("%s\n", util::GetOrcaVersionString().c_str());

  {
    util::ScopedProfiling pass({"validate", outDir});
    CreateAndValidateOutputDirectory(outDir.c_str(), onDirectoryError, onDirectoryWarning, 0,
                                     false);
    if (gMessages.errors > 0)
      return 1;
    MakeDirectory(Path(outDir).join("rtl").c_str(), false);
  }

  std::vector<FileDescription> files;
  {
    util::ScopedProfiling pass({"emit", ""});
    const std::vector<std::string> entities = {
        "fir32_top",
        "fir32_lowpass_polyphase_branch_0_coefficient_bank_with_symmetric_folding_stage_a",
        "fir32_lowpass_polyphase_branch_0_coefficient_bank_with_symmetric_folding_stage_b",
    };
    for (const std::string& entity : entities) {
      util::ScopedProfiling emit({"entity", entity});
      // The description abbreviates over-long names under the configured limits.
      const FileDescription file(Path("rtl").join(entity + ".vhd"), VHDL_FILE,
                                 FileDescription::F_LOCAL, true, true, false, true);
      FileOutputStream out(file.getPath(outDir.c_str(), FileDescription::CONTEXT_SCRIPT).string());
      writeEntity(out, file.getPath().getBaseName(), 4);
      files.push_back(file);
    }
    files.emplace_back(Path("libraries/vhdl/ieee_fixed.vhd"), VHDL_FILE, FileDescription::F_TESSERA,
                       true, true, false, false);
  }

  {
    util::ScopedProfiling pass({"file lists", ""});
    std::sort(files.begin(), files.end());
    const struct {
      const char* name;
      FileDescription::Context context;
    } lists[] = {{"files_script.tcl", FileDescription::CONTEXT_SCRIPT},
                 {"files_env.tcl", FileDescription::CONTEXT_ENVIRONMENT}};
    for (const auto& list : lists) {
      FileOutputStream out(Path(outDir).join(list.name).string());
      out.writeLine("set files [list \\");
      out.indent();
      for (const FileDescription& file : files) {
        out.writeIndented("");
        file.printPath(out, ".", list.context);
        out.write(std::string(" \\\n"));
      }
      out.outdent();
      out.writeLine("]");
    }
  }

  std::printf("generated files:\n");
  for (const FileDescription& file : files)
    std::printf("  %s (%s)\n",
                file.getPath(outDir.c_str(), FileDescription::CONTEXT_SCRIPT).c_str(),
                GetTesseraFileTypeText(file.getSourceFileType()));
  std::printf("file lists: %s, %s\n", Path(outDir).join("files_script.tcl").c_str(),
              Path(outDir).join("files_env.tcl").c_str());
  // The profiling reports and the trace are written when the process ends, into the directory
  // "ProfilingLogDirectory" names (made then), unless the command line chose another.
  util::SetWeakFeatureString("ProfilingLogDirectory", Path(outDir).join("profiling").string());
  std::printf("profiling reports and trace (at exit): %s/loomprofiler_*\n",
              util::GetFeature(Features::PROFILING_LOG_DIRECTORY).c_str());
  return 0;
}
