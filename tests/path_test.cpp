#include "temp_dir.h"
#include "util/feature_store.h"
#include "util/path.h"
#include <fstream>
#include <gmock/gmock.h>
#include <iterator>
#include <set>
#include <sstream>

using util::io::Path;
namespace fs = boost::filesystem;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

TEST(PathNormalForm, KeepsPrefixesTurnsBackslashesAndCollapsesRuns) {
  // The normal form and its lexical parts: directory|file name|extension|base name|absolute?|
  // after setExtension("v")|joined with "x\y".
  const char* const rows[][2] = {
      {"C:\\a\\\\b\\", "C:/a/b/|C:/a/b||||A|C:/a/b/|C:/a/b/x/y"},
      {"\\\\s\\d\\f.txt", "\\\\s/d/f.txt|\\\\s/d|f.txt|txt|f|R|\\\\s/d/f.v|\\\\s/d/f.txt/x/y"},
      {"\\\\?\\C:\\x", "\\\\?/C:/x|\\\\?/C:|x||x|A|\\\\?/C:/x|\\\\?/C:/x/x/y"},
      {"", "|||||R||x/y"},
      {"a/b.c.d", "a/b.c.d|a|b.c.d|d|b.c|R|a/b.c.v|a/b.c.d/x/y"},
      {"f.", "f.||f.||f|R|f.v|f./x/y"}};
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
  // Comparison is byte for byte.
  EXPECT_FALSE(Path("a/b") == Path("a/b/") || Path("A/b") == Path("a/b") || Path("a") != "a");
  EXPECT_TRUE(Path("a\\b") == Path("a/b") && Path("a") != Path("b") && Path("A") < Path("a") &&
              Path("a") < Path("a/") && !(Path("a") < Path("a")));
  EXPECT_TRUE(Path("a/\xC3") < Path("a/\xC4") && Path("a/b") < Path("a/\xC3")); // bytes unsigned
}

class PathFileSystem : public TempDirTest {};

TEST_F(PathFileSystem, StatusWritabilitySpaceAndAbsoluteForms) {
  fs::create_directories(at("a/b"));
  std::ofstream(at("file")) << "x";
  fs::create_symlink(at("missing"), at("dangling"));
  fs::create_symlink(at("a/b"), at("link"));
  // isFile, isDirectory, exists, isWritable, hasSpaceAvailable(0)
  const char* const rows[][2] = {{"a", "01111"},
                                 {"file", "10110"},
                                 {"link", "01111"},
                                 {"dangling", "00000"},
                                 {"file/x", "00000"}};
  for (const auto& [name, expected] : rows) {
    const Path p(at(name));
    std::string bits;
    for (bool b : {p.isFile(), p.isDirectory(), p.exists(), p.isWritable(), p.hasSpaceAvailable(0)})
      bits += b ? '1' : '0';
    EXPECT_EQ(bits, expected) << name;
  }
  EXPECT_FALSE(Path(at("a")).hasSpaceAvailable(UINT64_MAX)); // the bytes overflow 64 bits
  EXPECT_EQ(Path("link/new/x").getAbsolutePath().string(), at("a/b/new/x"));
  EXPECT_EQ(Path("link/f").relativeTo(Path(at("a"))).string(), "b/f");
}

class Abbreviation : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    Path::resetAbbreviation();
    util::ClearFeatures();
  }
  // Names up to 11 characters are kept; longer ones become 6 + a 2-character index + 3.
  static std::string abbreviate(const std::string& text, const std::string& function = "") {
    return Path(text).getAbbreviated(function, 6, 3, 2).string();
  }
};

TEST_F(Abbreviation, KeepsShortNamesAndCutsLongOnesAroundAnIndex) {
  // Input|result; in order ("" keeps the input): a cached result, the same group ignoring case
  // gets the next index, an empty extension stays.
  std::istringstream rows(
      "out/abcdefghijk.vhd|;out/abcdefghijkl.vhd|out/abcdef00jkl.vhd;"
      "out/abcdefghijkl.vhd|out/abcdef00jkl.vhd;out/ABCDEFxyzJKL|out/ABCDEF01JKL;"
      "elsewhere/abcdefghijkl|elsewhere/abcdef00jkl;abcdefqqqjkl.|abcdef00jkl.;"
      ".bashrc|;dir/|;d/abc.|;|;");
  for (std::string in, out; std::getline(rows, in, '|') && std::getline(rows, out, ';');)
    EXPECT_EQ(abbreviate(in), out.empty() ? in : out) << in;
}

TEST_F(Abbreviation, OneDirectoryIsOneNumberingHoweverItIsSpelled) {
  // One directory on disk: different indexes, or two generated files would overwrite each other.
  fs::create_directories(at("real/out"));
  fs::create_directory_symlink(at("real/out"), at("alias"));
  const std::string spellings[] = {"real/out", "./real/out/", at("real/out"), "real/x/../out",
                                   "alias"};
  std::set<std::string> onDisk;
  for (std::size_t i = 0; i < 5; ++i) {
    const std::string got = abbreviate(spellings[i] + "/abcdef" + std::to_string(i) + "xyzjkl.v");
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
              HasSubstr("'!overflow'. The name abbreviation system has produced too many"));
}

TEST_F(Abbreviation, MovesFunctionNamesToTheFront) {
  // Without a function (the last row) "__" stays.
  const char* const rows[][3] = {{"top_fir_x.v", "fir", "fir_top_x.v"},
                                 {"entity.v", "fir", "fir_entity.v"},
                                 {"a__fir__b.v", "fir", "fir_a_b.v"},
                                 {"fir.v", "fir", "fir.v"},
                                 {"a__b.v", "", "a__b.v"}};
  for (const auto& r : rows)
    EXPECT_EQ(abbreviate(r[0], r[1]), r[2]);
  // Function names longer than the prefix are cut; two that share the cut collide.
  abbreviate("d/x", "ffffffone"), abbreviate("d/y", "ffffffone"); // the same one again is fine
  EXPECT_EXIT(abbreviate("d/z", "fffffftwo"), ExitedWithCode(100),
              HasSubstr("not unique within the first 6 characters. <ffffffone> and <fffffftwo>"));
}

TEST_F(Abbreviation, RefusesZeroLimitsAndDirectoriesInNames) {
  const char* const conditions[] = {"maxPrefixLength", "maxSuffixLength", "indexCharactersLength"};
  for (int i = 0; i < 3; ++i) // each limit zero in turn, the others 1
    EXPECT_EXIT(Path("d/x").getAbbreviated("", i != 0, i != 1, i != 2), ExitedWithCode(100),
                HasSubstr(std::string("'") + conditions[i] + " > 0'"));
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
              ExitedWithCode(100), HasSubstr("Output path was too long"));
}
