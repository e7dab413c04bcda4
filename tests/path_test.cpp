#include "temp_dir.h"
#include "util/feature_store.h"
#include "util/path.h"
#include <fstream>
#include <gmock/gmock.h>
#include <set>
#include <sstream>

using util::io::Path;
namespace fs = boost::filesystem;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

TEST(PathNormalForm, KeepsPrefixesTurnsBackslashesAndCollapsesRuns) {
  // The normal form and its lexical parts: directory|file name|extension|base name|absolute?|
  // after setExtension("v")|joined with "x\y".
  const char* const rows[][2] = {
      {"C:\\a\\\\b\\", "C:/a/b/|C:/a/b||||A|C:/a/b/|C:/a/b/x/y"},
      {"\\\\srv\\s\\f.txt",
       "\\\\srv/s/f.txt|\\\\srv/s|f.txt|txt|f|R|\\\\srv/s/f.v|\\\\srv/s/f.txt/x/y"},
      {"\\\\?\\C:\\x", "\\\\?/C:/x|\\\\?/C:|x||x|A|\\\\?/C:/x|\\\\?/C:/x/x/y"},
      {"\\\\?", "\\\\?|\\|?||?|A|\\\\?|\\\\?/x/y"},
      {"\\\\", "\\\\|\\||||R|\\\\|\\\\x/y"},
      {"\\", "/|||||R|/|/x/y"},
      {"//a//b", "/a/b|/a|b||b|R|/a/b|/a/b/x/y"},
      {"/a", "/a|/|a||a|R|/a|/a/x/y"},
      {"a/./../b", "a/./../b|a/./..|b||b|R|a/./../b|a/./../b/x/y"},
      {" a /B ", " a /B | a |B ||B |R| a /B | a /B /x/y"},
      {"", "|||||R||x/y"},
      {".bashrc", ".bashrc||.bashrc|bashrc||R|.v|.bashrc/x/y"},
      {"a.b/c", "a.b/c|a.b|c||c|R|a.b/c|a.b/c/x/y"},
      {"a/b.c.d", "a/b.c.d|a|b.c.d|d|b.c|R|a/b.c.v|a/b.c.d/x/y"},
      {"f.", "f.||f.||f|R|f.v|f./x/y"},
      {"C:", "C:||C:||C:|A|C:|C:/x/y"},
      {"C:x", "C:x||C:x||C:x|A|C:x|C:x/x/y"},
      {"C:/", "C:/|C:||||A|C:/|C:/x/y"}};
  for (const auto& [text, expected] : rows) {
    Path p(text), withV{std::string(text)};
    withV.setExtension("v");
    EXPECT_EQ(p.string() + "|" + p.getDirectory() + "|" + p.getFilename() + "|" + p.getExtension() +
                  "|" + p.getBaseName() + "|" + (p.isAbsolute() ? "A" : "R") + "|" + withV.c_str() +
                  "|" + p.join("x\\y").string(),
              expected);
    EXPECT_TRUE(p.join(Path()) == p && Path().join(text) == p && p.isRelative() != p.isAbsolute());
  }
  EXPECT_TRUE(Path(static_cast<const char*>(nullptr)).empty());
}

TEST(PathComparison, IsByteForByte) {
  EXPECT_FALSE(Path("a/b") == Path("a/b/") || Path("A/b") == Path("a/b") || Path("a") != "a");
  EXPECT_TRUE(Path("a\\b") == Path("a/b") && Path("a") != Path("b"));
  EXPECT_TRUE(Path("A") < Path("a") && Path("a") < Path("a/") && !(Path("a") < Path("a")));
  EXPECT_TRUE(Path("a/\xC3") < Path("a/\xC4") && Path("a/b") < Path("a/\xC3")); // bytes unsigned
}

class PathFileSystem : public TempDirTest {};

TEST_F(PathFileSystem, StatusWritabilitySpaceAndAbsoluteForms) {
  fs::create_directories(at("a/b"));
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::owner_read | fs::owner_exe); // 0500: the bits decide, for root too
  std::ofstream(at("file")) << "x";
  fs::create_symlink(at("missing"), at("dangling"));
  fs::create_symlink(at("a/b"), at("link"));
  // isFile, isDirectory, exists, isWritable, hasSpaceAvailable(0)
  const char* const rows[][2] = {{"a", "01111"},     {"file", "10110"},     {"link", "01111"},
                                 {"ro", "01101"},    {"dangling", "00000"}, {"nothing/x", "00000"},
                                 {"file/x", "00000"}};
  for (const auto& [name, expected] : rows) {
    const Path p(at(name));
    std::string bits;
    for (bool b : {p.isFile(), p.isDirectory(), p.exists(), p.isWritable(), p.hasSpaceAvailable(0)})
      bits += b ? '1' : '0';
    EXPECT_EQ(bits, expected) << name;
  }
  EXPECT_FALSE(Path(at("a")).hasSpaceAvailable(std::uint64_t(1) << 43)); // 8 EiB
  EXPECT_FALSE(Path(at("a")).hasSpaceAvailable(UINT64_MAX)); // the bytes overflow 64 bits
  EXPECT_EQ(Path("a/b").getAbsolutePath().string(), at("a/b"));
  EXPECT_EQ(Path("link/new/x").getAbsolutePath().string(), at("a/b/new/x"));
  EXPECT_EQ(Path(at("a/b/c/d")).relativeTo(Path(at("a"))).string(), "b/c/d");
  EXPECT_EQ(Path(at("a")).relativeTo(Path(at("a/b"))).string(), "..");
  EXPECT_EQ(Path("link/f").relativeTo(Path(at("a"))).string(), "b/f");
}

class Abbreviation : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    Path::resetAbbreviation();
    util::ClearFeatures();
  }
  static std::string abbreviate(const std::string& text, const std::string& function = "") {
    return Path(text).getAbbreviated(function, 80, 20, 4).string();
  }
};

TEST_F(Abbreviation, KeepsShortNamesAndCutsLongOnesAroundAnIndex) {
  const std::string P(80, 'P'), p(80, 'p'), S(20, 'S'), z(80, 'z'), Z(20, 'z');
  const std::string long105 = P + "m" + S + "SSSS", other = p + "n" + S + "SSSS";
  const std::pair<std::string, std::string> rows[] = {
      // in order; "" expects the input kept
      {"out/" + std::string(104, 'a') + ".vhd", ""},
      {"out/" + long105 + ".vhd", "out/" + P + "0000" + S + ".vhd"},
      {"out/" + long105 + ".vhd", "out/" + P + "0000" + S + ".vhd"}, // cached, no new index
      {"out/" + P + "0000" + S + ".vhd", ""},                        // an abbreviation stays
      {"out/" + other, "out/" + p + "0001" + S}, // the same group ignoring case: the next index
      {"elsewhere/" + long105, "elsewhere/" + P + "0000" + S},
      {long105, P + "0000" + S},
      {"d/" + z + "q" + Z + "zzzz.", "d/" + z + "0000" + Z + "."}}; // an empty extension stays
  for (const auto& [in, out] : rows)
    EXPECT_EQ(abbreviate(in), out.empty() ? in : out) << in;
  for (const std::string kept : {".bashrc", "dir/", "d/abc.", "d/.", ""})
    EXPECT_EQ(abbreviate(kept), kept);
  Path::resetAbbreviation(); // indexes start again
  EXPECT_EQ(abbreviate("out/" + other), "out/" + p + "0000" + S);
}

TEST_F(Abbreviation, OneDirectoryIsOneNumberingHoweverItIsSpelled) {
  // Each spelling names the same directory on disk: the long names must get different indexes,
  // or two generated files would overwrite each other.
  fs::create_directories(at("real/out"));
  fs::create_directory_symlink(at("real/out"), at("alias"));
  const std::string spellings[] = {"real/out", "./real/out/", at("real/out"), "real/x/../out",
                                   "alias"};
  std::set<std::string> onDisk;
  for (std::size_t i = 0; i < 5; ++i) {
    const std::string full = std::string(80, 'P') + std::to_string(i) + std::string(30, 'S');
    const std::string got = abbreviate(spellings[i] + "/" + full + ".vhd");
    EXPECT_EQ(got.rfind(Path(spellings[i]).string(), 0), 0u) << got; // the caller's spelling
    EXPECT_TRUE(onDisk.insert(fs::weakly_canonical(got).filename().string()).second) << got;
  }
}

TEST_F(Abbreviation, OneIndexCharacterCountsTo35ThenOverflows) {
  auto nth = [](int i) { return "d/" + std::string(10, 'x') + std::to_string(1000 + i) + "yyyy"; };
  for (int i = 0; i < 36; ++i)
    EXPECT_EQ(Path(nth(i)).getAbbreviated("", 2, 2, 1).string(),
              std::string("d/xx") + "0123456789abcdefghijklmnopqrstuvwxyz"[i] + "yy");
  EXPECT_EXIT(Path(nth(36)).getAbbreviated("", 2, 2, 1), ExitedWithCode(100),
              MatchesRegex("Error: Compiler Internal Restriction: '!overflow'\\. The name "
                           "abbreviation system has produced too many abbreviated file names that "
                           "are identical\\. You may be able to avoid this error by shortening "
                           "design or folder names\\. \\[.*PathAbbreviator::abbreviate at "
                           "src/util/path\\.cpp:[0-9]+\\] "));
}

TEST_F(Abbreviation, MovesFunctionNamesToTheFront) {
  const char* const rows[][3] = {{"d/top_fir_x.vhd", "fir", "d/fir_top_x.vhd"},
                                 {"d/entity.vhd", "fir", "d/fir_entity.vhd"},
                                 {"d/fir.vhd", "fir", "d/fir.vhd"},
                                 {"d/a__fir__b.vhd", "fir", "d/fir_a_b.vhd"},
                                 {"d/a__b.vhd", "", "d/a__b.vhd"}}; // no function: "__" stays
  for (const auto& r : rows)
    EXPECT_EQ(abbreviate(r[0], r[1]), r[2]);
  // Function names longer than the prefix are cut; two that share the cut collide.
  const std::string f1 = std::string(85, 'f') + "one", f2 = std::string(85, 'f') + "two";
  abbreviate("d/x", f1);
  abbreviate("d/y", f1); // the same function again is fine
  EXPECT_EXIT(abbreviate("d/z", f2), ExitedWithCode(100),
              HasSubstr("At least two llvm function names were not unique within the first 80 "
                        "characters. <" +
                        f1 + "> and <" + f2 + ">.The common backend"));
}

TEST_F(Abbreviation, RefusesZeroLimitsAndDirectoriesInNames) {
  const std::uint64_t limits[][3] = {{0, 20, 4}, {80, 0, 4}, {80, 20, 0}};
  const char* const conditions[] = {"maxPrefixLength", "maxSuffixLength", "indexCharactersLength"};
  for (int i = 0; i < 3; ++i)
    EXPECT_EXIT(Path("d/x").getAbbreviated("", limits[i][0], limits[i][1], limits[i][2]),
                ExitedWithCode(100), HasSubstr(std::string("'") + conditions[i] + " > 0'"));
  // Limits from negative features are huge, not wrapped: nothing is cut.
  util::SetFeatureInteger("maxFilenamePrefixLength", -1);
  EXPECT_EQ(Path::getMaxFilenamePrefixLength(), UINT64_MAX);
  const std::string huge = "d/" + std::string(300, 'a');
  EXPECT_EQ(Path(huge).getAbbreviated("", UINT64_MAX, UINT64_MAX, UINT64_MAX).string(), huge);
}

TEST_F(Abbreviation, DynamicLimitsShrinkToFitThePathLimit) {
  // 230 directory characters + "/" + ".vhd" leave 260 - 4 - 231 - 4 = 21 characters.
  const std::string directory = "/" + std::string(229, 'd');
  const std::string base = std::string(40, 'B') + std::string(10, 'e');
  EXPECT_EQ(Path(directory + "/" + base + ".vhd").getAbbreviatedDynamic().string(),
            directory + "/" + std::string(16, 'B') + "0000" + std::string(5, 'e') + ".vhd");
  EXPECT_EXIT(Path("/d" + directory + "/" + base + ".vhd").getAbbreviatedDynamic(),
              ExitedWithCode(100),
              MatchesRegex("Error: Compiler Internal Restriction: 'remainingQuota > "
                           "MIN_LENGTH_PERMITTED'\\. Output path was too long, dynamic name "
                           "abbreviation failed\\. Try outputting to a path with fewer "
                           "characters\\. \\[util::io::Path::getAbbreviatedDynamic at "
                           "src/util/path\\.cpp:[0-9]+\\] "));
  // Short directories keep the feature limits; a dot in a directory is no extension; a relative
  // path is measured absolute but stays relative.
  const std::string q(105, 'q'), cut = std::string(80, 'q') + "0000" + std::string(20, 'q');
  EXPECT_EQ(Path("/w.x/" + q).getAbbreviatedDynamic().string(), "/w.x/" + cut);
  EXPECT_EQ(Path("rel/" + q + ".v").getAbbreviatedDynamic().string(), "rel/" + cut + ".v");
  EXPECT_EQ(Path().getAbbreviatedDynamic().string(), "");
}

TEST_F(Abbreviation, WritesTheDebugLogOnlyWhenAsked) {
  abbreviate("d/a.vhd");
  EXPECT_FALSE(fs::exists("abbreviation_debug_log.txt"));
  util::SetFeatureBoolean("enableAbbreviationLog", true);
  abbreviate("d/top_f.vhd", "f");
  std::stringstream text;
  text << std::ifstream("abbreviation_debug_log.txt").rdbuf();
  EXPECT_EQ(text.str(), "Full path: d/top_f.vhd\nInput: top_f.vhd\nDirectory: d\n"
                        "Prefix/suffix/index chars: 80/20/4\nFunction: f\nResult: f_top_.vhd\n\n");
}
