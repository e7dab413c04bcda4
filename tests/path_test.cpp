#include "util/path.h"

#include "util/feature_store.h"
#include "util/string_utils.h"

#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <vector>

namespace {

using util::io::Path;
namespace fs = boost::filesystem;

TEST(PathNormalForm, KeepsPrefixesTurnsBackslashesAndCollapsesRuns) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\a\\\\b\\", "C:/a/b/"},
      {"\\\\srv\\x", "\\\\srv/x"},
      {"\\\\?\\C:\\x", "\\\\?/C:/x"},
      {"//a//b", "/a/b"},
      {"a/./b", "a/./b"},
      {"a/../b", "a/../b"},
      {"\\\\", "\\\\"},
      {"\\", "/"},
      {"///", "/"},
      {" a /B ", " a /B "},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.in).string(), c.out) << c.in;
    EXPECT_STREQ(Path(std::string(c.in)).c_str(), c.out) << c.in;
  }
  EXPECT_EQ(Path(static_cast<const char*>(nullptr)).string(), "");
}

TEST(PathDecomposition, SplitsOnEitherSeparator) {
  const struct {
    const char* text;
    const char* directory;
    const char* filename;
    const char* extension;
    const char* baseName;
  } cases[] = {
      {"", "", "", "", ""},
      {"/", "", "", "", ""},
      {"/a", "/", "a", "", "a"},
      {"a", "", "a", "", "a"},
      {".bashrc", "", ".bashrc", "bashrc", ""},
      {"a.b/c", "a.b", "c", "", "c"},
      {"a/b.c.d", "a", "b.c.d", "d", "b.c"},
      {"C:", "", "C:", "", "C:"},
      {"C:/", "C:", "", "", ""},
      {"C:/a", "C:", "a", "", "a"},
      {"a/b/", "a/b", "", "", ""},
      {"\\\\srv\\share\\f.txt", "\\\\srv/share", "f.txt", "txt", "f"},
      {"\\\\", "\\", "", "", ""},
  };
  for (const auto& c : cases) {
    const Path p(c.text);
    EXPECT_EQ(p.getDirectory(), c.directory) << c.text;
    EXPECT_EQ(p.getFilename(), c.filename) << c.text;
    EXPECT_EQ(p.getExtension(), c.extension) << c.text;
    EXPECT_EQ(p.getBaseName(), c.baseName) << c.text;
  }
}

TEST(PathDecomposition, SetExtensionReplacesOnlyAnExistingOne) {
  const struct {
    const char* text;
    const char* ext;
    const char* result;
  } cases[] = {
      {"a/b.c.d", "v", "a/b.c.v"},    {"a/b", "v", "a/b"},
      {"a.b/c", "v", "a.b/c"},        {"x.sv", ".v", "x..v"},
      {".bashrc", "zshrc", ".zshrc"}, {"f.", "txt", "f.txt"},
  };
  for (const auto& c : cases) {
    Path p(c.text);
    p.setExtension(c.ext);
    EXPECT_EQ(p.string(), c.result) << c.text;
  }
}

TEST(PathComposition, JoinsWithOneSlashWhateverTheSecondPart) {
  EXPECT_EQ(Path("a/").join("b").string(), "a/b");
  EXPECT_EQ(Path("a").join("/b").string(), "a/b");
  EXPECT_EQ(Path("a").join(Path()).string(), "a");
  EXPECT_EQ(Path().join("b").string(), "b");
  EXPECT_EQ(Path("\\\\").join("srv").string(), "\\\\srv");
  EXPECT_EQ(Path("a").join(std::string("b\\c")).string(), "a/b/c");
  EXPECT_EQ(Path("C:\\").join("x").string(), "C:/x");
}

TEST(PathClassification, UsesDriveAndLongPathRules) {
  EXPECT_TRUE(Path().isRelative());
  EXPECT_TRUE(Path("/usr/lib").isRelative());
  EXPECT_TRUE(Path("\\\\srv\\x").isRelative());
  EXPECT_TRUE(Path("a").isRelative());
  EXPECT_TRUE(Path("C:x").isAbsolute());
  EXPECT_TRUE(Path("C:").isAbsolute());
  EXPECT_TRUE(Path("\\\\?\\C:\\x").isAbsolute());
}

TEST(PathComparison, IsByteForByte) {
  EXPECT_FALSE(Path("a/b") == Path("a/b/"));
  EXPECT_FALSE(Path("A/b") == Path("a/b"));
  EXPECT_TRUE(Path("a\\b") == Path("a/b"));
  EXPECT_TRUE(Path("A") < Path("a"));
  EXPECT_TRUE(Path("a") < Path("a/"));
  EXPECT_TRUE(Path("a/\xC3") < Path("a/\xC4")); // bytes compare unsigned
  EXPECT_TRUE(Path("a/b") < Path("a/\xC3"));
  Path empty;
  EXPECT_TRUE(empty.empty() && empty.isEmpty());
}

class PathFileSystem : public TempDirTest {};

TEST_F(PathFileSystem, StatusQueriesFollowLinksAndDanglingLinksDoNotExist) {
  fs::create_directory(at("dir"));
  std::ofstream(at("file")) << "x";
  fs::create_symlink(at("missing"), at("dangling"));
  fs::create_symlink(at("dir"), at("dirlink"));
  EXPECT_TRUE(Path(at("dir")).isDirectory());
  EXPECT_FALSE(Path(at("dir")).isFile());
  EXPECT_TRUE(Path(at("file")).isFile());
  EXPECT_TRUE(Path(at("file")).exists());
  EXPECT_TRUE(Path(at("dirlink")).isDirectory());
  EXPECT_FALSE(Path(at("dangling")).exists());
  EXPECT_FALSE(Path(at("nothing/below")).exists());
  EXPECT_FALSE(Path(at("file/below")).exists()); // not a directory on the way: not found
}

TEST_F(PathFileSystem, WritabilityReadsOwnerBitsAndSpaceNeedsADirectory) {
  fs::create_directory(at("rw"));
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::owner_read | fs::owner_exe); // 0500
  std::ofstream(at("file")) << "x";
  EXPECT_TRUE(Path(at("rw")).isWritable());
  EXPECT_FALSE(Path(at("ro")).isWritable()); // also as root: the bits decide
  EXPECT_TRUE(Path(at("file")).isWritable());
  EXPECT_FALSE(Path(at("absent")).isWritable());

  EXPECT_TRUE(Path(at("rw")).hasSpaceAvailable(0));
  EXPECT_FALSE(Path(at("file")).hasSpaceAvailable(0));
  EXPECT_FALSE(Path(at("rw")).hasSpaceAvailable(std::uint64_t(1) << 43)); // 8 EiB
  EXPECT_FALSE(Path(at("rw")).hasSpaceAvailable(UINT64_MAX));             // bytes overflow 64 bits
}

TEST_F(PathFileSystem, AbsoluteAndRelativeFormsResolveWhatExists) {
  fs::create_directories(at("a/b"));
  fs::create_symlink(at("a/b"), at("link"));
  EXPECT_EQ(Path("a/b").getAbsolutePath().string(), at("a/b"));
  EXPECT_EQ(Path("link/new/x").getAbsolutePath().string(), at("a/b/new/x"));
  EXPECT_EQ(Path("a/./b/../b").getAbsolutePath().string(), at("a/b"));
  EXPECT_EQ(Path(at("a/b/c/d")).relativeTo(Path(at("a"))).string(), "b/c/d");
  EXPECT_EQ(Path(at("a")).relativeTo(Path(at("a/b"))).string(), "..");
  EXPECT_EQ(Path("link/f").relativeTo(Path(at("a"))).string(), "b/f");
  EXPECT_EQ(Path(at("a")).relativeTo(Path(at("a"))).string(), ".");
}

} // namespace

namespace {

using ::testing::ExitedWithCode;
using ::testing::MatchesRegex;

class Abbreviation : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    Path::resetAbbreviation();
    util::ClearFeatures();
  }
  void TearDown() override {
    Path::resetAbbreviation();
    util::ClearFeatures();
    TempDirTest::TearDown();
  }
  static std::string name(char fill, std::size_t length, const std::string& middle = "") {
    std::string text(length, fill);
    text.replace(length / 2, middle.size(), middle);
    return text;
  }
  static std::string abbreviate(const std::string& text, const std::string& function = "") {
    return Path(text).getAbbreviated(function, 80, 20, 4).string();
  }
};

TEST_F(Abbreviation, KeepsShortNamesAndCutsLongOnesAroundAnIndex) {
  EXPECT_EQ(Path::getMaxFilenamePrefixLength(), 80u);
  EXPECT_EQ(Path::getMaxFilenameSuffixLength(), 20u);
  EXPECT_EQ(Path::getMaxFilenameIndexCharactersLength(), 4u);

  const std::string short104 = name('a', 104);
  EXPECT_EQ(abbreviate("out/" + short104 + ".vhd"), "out/" + short104 + ".vhd");

  const std::string long105 = std::string(80, 'P') + "m" + std::string(24, 'S');
  const std::string expected = "out/" + std::string(80, 'P') + "0000" + std::string(20, 'S');
  EXPECT_EQ(abbreviate("out/" + long105 + ".vhd"), expected + ".vhd");
  EXPECT_EQ(abbreviate("out/" + long105 + ".vhd"), expected + ".vhd"); // cached, no new index
  EXPECT_EQ(abbreviate(expected + ".vhd"), expected + ".vhd");         // an abbreviation stays

  // Same prefix and suffix ignoring case: the same group, the next index, case kept.
  const std::string other = std::string(80, 'p') + "n" + std::string(24, 'S');
  EXPECT_EQ(abbreviate("out/" + other),
            "out/" + std::string(80, 'p') + "0001" + std::string(20, 'S'));
  EXPECT_EQ(abbreviate("elsewhere/" + long105),
            "elsewhere/" + std::string(80, 'P') + "0000" + std::string(20, 'S'));
  EXPECT_EQ(abbreviate(long105), std::string(80, 'P') + "0000" + std::string(20, 'S'));
  EXPECT_EQ(abbreviate(".bashrc"), ".bashrc");
  EXPECT_EQ(abbreviate("dir/"), "dir/");     // no file name: nothing to shorten, separator kept
  EXPECT_EQ(abbreviate("d/abc."), "d/abc."); // an empty extension keeps its dot
  EXPECT_EQ(abbreviate("d/."), "d/.");
  EXPECT_EQ(abbreviate("d/" + std::string(105, 'z') + "."),
            "d/" + std::string(80, 'z') + "0000" + std::string(20, 'z') + ".");
  EXPECT_EQ(Path().getAbbreviated("", 80, 20, 4).string(), "");

  Path::resetAbbreviation(); // indexes start again
  EXPECT_EQ(abbreviate("out/" + other),
            "out/" + std::string(80, 'p') + "0000" + std::string(20, 'S'));
}

TEST_F(Abbreviation, OneDirectoryIsOneNumberingHoweverItIsSpelled) {
  // Each spelling names the same directory on disk: the four long names must get four indexes,
  // or two generated files would overwrite each other.
  fs::create_directories(at("real/out"));
  fs::create_directory_symlink(at("real/out"), at("alias"));
  const std::vector<std::string> spellings = {"real/out", "./real/out/", at("real/out"),
                                              "real/x/../out", "alias"};
  std::set<std::string> onDisk;
  for (std::size_t i = 0; i < spellings.size(); ++i) {
    const std::string full = std::string(80, 'P') + std::to_string(i) + std::string(30, 'S');
    const std::string got = abbreviate(spellings[i] + "/" + full + ".vhd");
    EXPECT_EQ(got.rfind(Path(spellings[i]).string(), 0), 0u) << got; // the caller's spelling
    EXPECT_TRUE(onDisk.insert(fs::weakly_canonical(got).filename().string()).second) << got;
  }
}

TEST_F(Abbreviation, OneIndexCharacterCountsTo35ThenOverflows) {
  auto nth = [](int i) { return "d/" + std::string(10, 'x') + std::to_string(1000 + i) + "yyyy"; };
  for (int i = 0; i < 36; ++i) {
    const std::string result = Path(nth(i)).getAbbreviated("", 2, 2, 1).string();
    EXPECT_EQ(result.size(), 2u + 5u) << i;
    if (i == 35) {
      EXPECT_EQ(result, "d/xxzyy");
    }
  }
  EXPECT_EXIT(Path(nth(36)).getAbbreviated("", 2, 2, 1), ExitedWithCode(100),
              MatchesRegex("Error: Compiler Internal Restriction: '!overflow'\\. The name "
                           "abbreviation system has produced too many abbreviated file names that "
                           "are identical\\. You may be able to avoid this error by shortening "
                           "design or folder names\\. \\[.*PathAbbreviator::abbreviate at "
                           "src/util/path\\.cpp:[0-9]+\\] "));
}

TEST_F(Abbreviation, MovesFunctionNamesToTheFront) {
  EXPECT_EQ(abbreviate("d/top_fir_x.vhd", "fir"), "d/fir_top_x.vhd");
  EXPECT_EQ(abbreviate("d/entity.vhd", "fir"), "d/fir_entity.vhd");
  EXPECT_EQ(abbreviate("d/fir.vhd", "fir"), "d/fir.vhd");
  EXPECT_EQ(abbreviate("d/a__fir__b.vhd", "fir"), "d/fir_a_b.vhd");
  EXPECT_EQ(abbreviate("d/a__b.vhd"), "d/a__b.vhd"); // no function: underscores stay

  // Function names longer than the prefix are cut; two that share the cut collide.
  const std::string f1 = std::string(85, 'f') + "one", f2 = std::string(85, 'f') + "two";
  Path("d/x").getAbbreviated(f1, 80, 20, 4);
  Path("d/y").getAbbreviated(f1, 80, 20, 4); // the same function again is fine
  EXPECT_EXIT(Path("d/z").getAbbreviated(f2, 80, 20, 4), ExitedWithCode(100),
              ::testing::HasSubstr("At least two llvm function names were not unique within the "
                                   "first 80 characters. <" +
                                   f1 + "> and <" + f2 + ">.The common backend"));
}

TEST_F(Abbreviation, RefusesZeroLimitsAndDirectoriesInNames) {
  EXPECT_EXIT(Path("d/x").getAbbreviated("", 0, 20, 4), ExitedWithCode(100),
              ::testing::HasSubstr("'maxPrefixLength > 0'"));
  EXPECT_EXIT(Path("d/x").getAbbreviated("", 80, 0, 4), ExitedWithCode(100),
              ::testing::HasSubstr("'maxSuffixLength > 0'"));
  EXPECT_EXIT(Path("d/x").getAbbreviated("", 80, 20, 0), ExitedWithCode(100),
              ::testing::HasSubstr("'indexCharactersLength > 0'"));
  // Limits from negative features are huge, not wrapped: nothing is cut.
  util::SetFeatureInteger("maxFilenamePrefixLength", -1);
  EXPECT_EQ(Path::getMaxFilenamePrefixLength(), UINT64_MAX);
  EXPECT_EQ(Path("d/" + std::string(300, 'a'))
                .getAbbreviated("", UINT64_MAX, UINT64_MAX, UINT64_MAX)
                .string(),
            "d/" + std::string(300, 'a'));
}

TEST_F(Abbreviation, DynamicLimitsShrinkToFitThePathLimit) {
  // 230 directory characters + "/" + ".vhd" leave 260 - 4 - 231 - 4 = 21 characters.
  const std::string directory = "/" + std::string(229, 'd');
  const std::string base = std::string(40, 'B') + std::string(10, 'e');
  EXPECT_EQ(Path(directory + "/" + base + ".vhd").getAbbreviatedDynamic().string(),
            directory + "/" + std::string(16, 'B') + "0000" + std::string(5, 'e') + ".vhd");
  const std::string deeper = "/" + std::string(230, 'd');
  EXPECT_EXIT(Path(deeper + "/" + base + ".vhd").getAbbreviatedDynamic(), ExitedWithCode(100),
              MatchesRegex("Error: Compiler Internal Restriction: 'remainingQuota > "
                           "MIN_LENGTH_PERMITTED'\\. Output path was too long, dynamic name "
                           "abbreviation failed\\. Try outputting to a path with fewer "
                           "characters\\. \\[util::io::Path::getAbbreviatedDynamic at "
                           "src/util/path\\.cpp:[0-9]+\\] "));
  // Short directories keep the feature limits; a dot in a directory is no extension.
  const std::string long105 = std::string(105, 'q');
  EXPECT_EQ(Path("/w.x/" + long105).getAbbreviatedDynamic().string(),
            "/w.x/" + std::string(80, 'q') + "0000" + std::string(20, 'q'));
  // A relative path is measured absolute but stays relative.
  EXPECT_EQ(Path("rel/" + long105 + ".v").getAbbreviatedDynamic().string(),
            "rel/" + std::string(80, 'q') + "0000" + std::string(20, 'q') + ".v");
  EXPECT_EQ(Path().getAbbreviatedDynamic().string(), "");
}

TEST_F(Abbreviation, WritesTheDebugLogOnlyWhenAsked) {
  abbreviate("d/a.vhd");
  EXPECT_FALSE(fs::exists("abbreviation_debug_log.txt"));
  util::SetFeatureBoolean("enableAbbreviationLog", true);
  abbreviate("d/top_f.vhd", "f");
  std::ifstream log("abbreviation_debug_log.txt");
  std::stringstream text;
  text << log.rdbuf();
  EXPECT_EQ(text.str(), "Full path: d/top_f.vhd\nInput: top_f.vhd\nDirectory: d\n"
                        "Prefix/suffix/index chars: 80/20/4\nFunction: f\nResult: f_top_.vhd\n\n");
}

// Random long names, many sharing prefixes and suffixes and differing in case, in a few
// directories: no two different inputs of one directory may share a result, and every
// abbreviated result has exactly the length the limits give.
TEST_F(Abbreviation, ResultsStayUniqueAndOfExactLength) {
  std::mt19937 random(2026);
  const char* directories[] = {"a", "a/b", "c"};
  std::map<std::string, std::map<std::string, std::string>> resultToInput;
  const auto piece = [&](std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
      s += "aAbB_"[random() % 5];
    return s;
  };
  const std::string prefixes[] = {piece(12), piece(12), piece(12)};
  const std::string suffixes[] = {piece(6), piece(6)};
  for (int i = 0; i < 6000; ++i) {
    const std::string directory = directories[random() % 3];
    std::string input = prefixes[random() % 3] + piece(random() % 12) + suffixes[random() % 2];
    if (random() % 4 == 0)
      input = util::toUpper(input);
    const std::string result = Path(directory + "/" + input).getAbbreviated("", 10, 5, 3).string();
    const std::string file = result.substr(directory.size() + 1);
    if (input.size() > 18)
      ASSERT_EQ(file.size(), 18u) << input;
    else
      ASSERT_EQ(file, input);
    const auto [it, inserted] = resultToInput[directory].emplace(file, input);
    ASSERT_TRUE(inserted || it->second == input || file == input)
        << file << " for both " << it->second << " and " << input;
  }
}

} // namespace
