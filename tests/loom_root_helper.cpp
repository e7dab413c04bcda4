// Prints the installation root as the library finds it. The tests copy this program and the
// library side by side into temporary trees (the program finds the library beside itself)
// and run it there.
#include "util/version.h"

#include <unistd.h>

#include <cstdio>

int main() {
  // The library must know where it was loaded from even after the host changes directory.
  if (chdir("/") != 0)
    return 2;
  std::printf("%s", util::GetLoomRootDir().c_str());
  return 0;
}
