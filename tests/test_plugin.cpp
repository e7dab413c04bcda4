// A tiny shared library that the process tests load at run time.
extern "C" __attribute__((visibility("default"))) int loom_test_plugin_twice(int x) {
  return 2 * x;
}
