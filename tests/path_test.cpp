#include "channel_texts.h"
#include "hostile_fs.h"
#include "util/feature_store.h"
#include "util/output_stream.h"
#include "util/path.h"
#include "util/string_utils.h"
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
    EXPECT_EQ(p.join(Path()), p);
    EXPECT_EQ(Path().join(text), p);
  }
  EXPECT_TRUE(Path(static_cast<const char*>(nullptr)).empty());
  // Comparison is byte for byte, bytes unsigned.
  EXPECT_NE(Path("a/b"), Path("a/b/"));
  EXPECT_NE(Path("A/b"), Path("a/b"));
  EXPECT_EQ(Path("a"), "a");
  EXPECT_EQ(Path("a\\b"), Path("a/b"));
  const char* const ascending[] = {"A", "a", "a/", "a/b", "a/\xC3", "a/\xC4"};
  for (std::size_t i = 1; i < std::size(ascending); ++i)
    EXPECT_LT(Path(ascending[i - 1]), Path(ascending[i])) << ascending[i];
  EXPECT_FALSE(Path("a") < Path("a"));
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

class Abbreviation : public HostileFsTest {
protected:
  void SetUp() override {
    HostileFsTest::SetUp();
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

TEST_F(Abbreviation, OneIndexCharacterCountsTo35ThenOverflows) {
  const char* const digits = "0123456789abcdefghijklmnopqrstuvwxyz";
  auto cut = [](const std::string& p) { return Path(p).getAbbreviated("", 2, 2, 1).string(); };
  auto nth = [](int i) { return "d/" + std::string(10, 'x') + std::to_string(1000 + i) + "yyyy"; };
  for (int i = 0; i < 36; ++i)
    EXPECT_EQ(cut(nth(i)), std::string("d/xx") + digits[i] + "yy");
  const auto overflow = HasSubstr("'!overflow'. The name abbreviation system has produced");
  EXPECT_EXIT(cut(nth(36)), ExitedWithCode(100), overflow);
  // Counting down, a name taken by another request gets the last free index, 0, then none.
  Path::resetAbbreviation();
  for (int i = 1; i < 36; ++i) // short names, kept as they are
    cut(std::string("d/ab") + digits[i] + "cd");
  EXPECT_EQ(cut("d/AB1cd"), "d/AB0cd");
  EXPECT_EXIT(cut("d/AB2cd"), ExitedWithCode(100), overflow);
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

// Requests over a small alphabet, so that groups fill up and names meet: short and long, with
// and without a function name found inside them, under five limit sets, in one directory under
// `spellings` of its names.
struct Request {
  unsigned spelling, limits;
  std::string file, function;
};
const std::uint64_t kLimits[][3] = {{3, 2, 2}, {2, 3, 2}, {4, 4, 2}, {80, 20, 4}, {79, 21, 4}};
std::vector<Request> drawRequests(unsigned count, unsigned spellings) {
  std::mt19937 random(20261207);
  const char* const functions[] = {"", "", "ab", "Ba"};
  const char* const extensions[] = {"", ".v", ".V", ".vhd"};
  std::vector<Request> requests;
  for (unsigned n = 0; n < count; ++n) {
    Request r;
    r.limits = random() % 5;
    const unsigned length = 1 + random() % (kLimits[r.limits][0] > 10 ? 110 : 14);
    for (unsigned k = 0; k < length; ++k)
      r.file += "abA_B"[random() % 5];
    r.file += extensions[random() % 4];
    r.function = functions[random() % 4];
    r.spelling = random() % spellings;
    requests.push_back(r);
  }
  return requests;
}

TEST_F(Abbreviation, NoTwoRequestsGetOneNameAndNamesThatNeverMetStayAsTheyWere) {
  if (!mountsAvailable())
    GTEST_SKIP() << "needs root for a bind mount; uniqueness across it not checked";
  fs::create_directories(at("out"));
  fs::create_directory_symlink(at("out"), at("alias"));
  bindMount(at("out"), "bound", false);
  const std::string spellings[] = {"out", "./out/", at("out"), "alias", "bound"};
  const auto names = [&](const std::vector<Request>& requests) {
    Path::resetAbbreviation();
    std::vector<std::string> given;
    for (const Request& r : requests) {
      const std::uint64_t* l = kLimits[r.limits];
      const Path asked(spellings[r.spelling] + "/" + r.file);
      const Path got = asked.getAbbreviated(r.function, l[0], l[1], l[2]);
      EXPECT_EQ(got.getDirectory(), asked.getDirectory()); // as the caller spelt it
      given.push_back(got.getFilename());
    }
    return given;
  };
  const std::vector<Request> requests = drawRequests(4000, 5);
  const std::vector<std::string> given = names(requests);
  std::map<std::string, std::string> owners; // case-folded name -> the request that got it
  std::set<std::string> handedOut;
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const Request& r = requests[i];
    if (r.function.empty() && handedOut.count(r.file) != 0)
      continue; // a name passed back is the file it names
    handedOut.insert(given[i]);
    const std::string request = r.file + "|" + r.function;
    EXPECT_EQ(owners.emplace(util::toLower(given[i]), request).first->second, request)
        << "request " << i << " got " << given[i];
  }
  // Names of requests that met no other, as they were before names were registered (taken
  // without the bind mount, which had a numbering of its own then).
  const std::vector<std::string> before = names(drawRequests(4000, 4));
  std::ifstream table(LOOM_ABBREVIATION_NAMES);
  int rows = 0;
  for (std::size_t i; table >> i; ++rows) {
    std::string expected;
    std::getline(table >> std::ws, expected);
    EXPECT_EQ(before.at(i), expected) << "request " << i;
  }
  EXPECT_EQ(rows, 416);
}

TEST_F(Abbreviation, ASecondRequestForATakenNameGetsTheTopFreeIndex) {
  // The first request keeps its name; the second, which used to get the same one, does not.
  struct Row {
    const char *function, *first, *second, *firstName, *secondName;
    int firstLimits, secondLimits; // rows of `limits`
  };
  const std::uint64_t limits[][3] = {{6, 3, 2}, {2, 2, 1}, {80, 20, 4}, {79, 21, 4}};
  const std::string p79 = std::string(79, 'p'), s20 = std::string(20, 's');
  const std::string a = p79 + "0" + std::string(10, 'x') + s20;
  const std::string b = p79 + std::string(10, 'y') + "0" + s20, cut = p79 + "00000" + s20;
  const std::string moved = p79 + "zzzz0" + s20;
  const Row rows[] = {
      {"fir", "top_fir_x.v", "fir_top_x.v", "fir_top_x.v", "fir_tozzp_x.v", 0, 0},
      {"fir", "a__b.v", "a_b.v", "fir_a_b.v", "fir_a_zzb.v", 0, 0},
      {"fir", "ctl.v", "fir_ctl.v", "fir_ctl.v", "fir_ctzzl.v", 0, 0},
      {"fir", "ctlfir.v", "firctl.v", "fir_ctl.v", "fir_ctzzl.v", 0, 0},
      {"", "ABC.v", "abc.v", "ABC.v", "abczz.v", 0, 0},
      {"", "ab0cd.v", "abXYcd.v", "ab0cd.v", "abzcd.v", 1, 1}, // within the limits, then cut to it
      {"", a.c_str(), b.c_str(), cut.c_str(), moved.c_str(), 2, 3}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.second);
    Path::resetAbbreviation();
    const std::uint64_t *l1 = limits[row.firstLimits], *l2 = limits[row.secondLimits];
    EXPECT_EQ(Path(row.first).getAbbreviated(row.function, l1[0], l1[1], l1[2]).string(),
              row.firstName);
    const std::string second =
        Path(row.second).getAbbreviated(row.function, l2[0], l2[1], l2[2]).string();
    EXPECT_EQ(second, row.secondName);
    // Asked again, each keeps what it got.
    EXPECT_EQ(Path(row.second).getAbbreviated(row.function, l2[0], l2[1], l2[2]).string(), second);
  }
}

TEST_F(Abbreviation, NamesGivenBeforeTheDirectoryExistedStayGivenUnderEveryName) {
  if (!mountsAvailable())
    GTEST_SKIP() << "needs root for a bind mount; not checked";
  fs::create_directories(at("tree"));
  bindMount(at("tree"), "view", false);
  // Three spellings of "tree/new/out" before it exists (a link made only then), three after.
  const char* const spellings[] = {"tree/new/out/", "view/new/out/", "link/out/",
                                   "view/new/out/", "link/out/",     "tree/new/out/"};
  std::vector<std::string> paths;
  for (const char* spelling : spellings) {
    if (paths.size() == 3) {
      fs::create_directories(at("tree/new/out"));
      fs::create_directory_symlink(at("tree/new"), at("link"));
    }
    const char* group = paths.size() % 3 == 2 || paths.size() == 3 ? "ghijkl" : "abcdef";
    paths.push_back(abbreviate(spelling + (group + std::to_string(paths.size())) + "xyzjkl.v"));
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    util::io::FileOutputStream out(paths[i]);
    out.write(std::to_string(i));
  }
  EXPECT_EQ(namesIn(at("tree/new/out")).size(), paths.size()); // none overwrote another
}

TEST_F(Abbreviation, TheDebugLogReportsItsFirstFailedWriteOnTheWarningChannel) {
  ChannelTexts collect(MessageHandlerRegister::warnings);
  util::SetFeatureBoolean("enableAbbreviationLog", true);
  fs::create_directory(at("abbreviation_debug_log.txt")); // in the way of both records
  abbreviate("d/abcdefghijkl.v");
  fs::remove(at("abbreviation_debug_log.txt"));
  abbreviate("d/abc.v");
  faults::plant({faults::Write, 0, EIO, 0}); // after a record written: reported again
  abbreviate("d/x.v");
  faults::disarm();
  EXPECT_EQ(
      collect.texts,
      (std::vector<std::string>{
          "Could not write abbreviation_debug_log.txt: open the file: Is a directory\n",
          "Could not write abbreviation_debug_log.txt: write the file: Input/output error\n"}));
  EXPECT_EQ(contentOf("abbreviation_debug_log.txt").rfind("Full path: d/abc.v\n", 0), 0u);
}
