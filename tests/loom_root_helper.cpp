// Prints the installation root as the library finds it; the tests copy it beside a copy of the
// library. It changes directory first: the library must still know where it was loaded from.
#include "util/version.h"
#include <cstdio>
#include <unistd.h>

int main() {
  return chdir("/") != 0 ? 2 : std::printf("%s", util::GetLoomRootDir().c_str()) < 0;
}
