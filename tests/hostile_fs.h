#ifndef LOOM_TESTS_HOSTILE_FS_H
#define LOOM_TESTS_HOSTILE_FS_H

// File systems as users have them: a second device, a full disk, a read-only mount, a tree
// mounted inside itself, and system calls that fail. The program that includes this exports the
// system calls below (ENABLE_EXPORTS), so the library's calls reach them first; they pass
// through unless a fault is planted.
#include "temp_dir.h"
#include <string>
#include <vector>

namespace faults {

enum Call { Open, Read, Write, CopyRange, Fchmod, Fsync, Close, Rename, CallKinds };
extern const char* const kCallNames[CallKinds];

// From now on, count the calls of each kind; the call number `at` (from 0) of kind `call`
// fails with `error`, or, with error 0, moves at most `shortTo` bytes. `call` = CallKinds
// plants nothing (a counting run).
void plant(Call call, int at, int error, long shortTo = 0);
int calls(Call call);
void disarm();

} // namespace faults

// Mounts made here live in a mount namespace of the test's own, unmounted at the end of the
// test (and gone with the process if it dies first). They need root; a test asks
// mountsAvailable() and skips, saying what it did not check, when they are not.
class HostileFsTest : public TempDirTest {
protected:
  void SetUp() override;
  void TearDown() override;
  bool mountsAvailable() const { return mMounts; }
  // A tmpfs of `size` ("256k") at `name`, or a bind of `source` at `name`; the mount point.
  std::string mountTmpfs(const std::string& name, const char* size = "4m");
  std::string bindMount(const std::string& source, const std::string& name, bool readOnly);

private:
  bool mMounts = false;
  std::vector<std::string> mMounted;
};

// The whole content of a file, and a file of `size` bytes of text that differs at each seed.
std::string contentOf(const std::string& path);
void writeFile(const std::string& path, std::size_t size, unsigned seed);
// The names in a directory, sorted.
std::vector<std::string> namesIn(const std::string& directory);

#endif
