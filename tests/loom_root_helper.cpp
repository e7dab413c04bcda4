// Prints the installation root as the library finds it. The tests copy this program and the
// library side by side into temporary trees (the program finds the library beside itself)
// and run it there.
#include "util/version.h"

#include <cstdio>

int main() {
  std::printf("%s", util::GetLoomRootDir().c_str());
  return 0;
}
