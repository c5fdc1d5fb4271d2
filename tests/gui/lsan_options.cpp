// The sanitizer build reads the window tests' leak suppressions from
// tests/gui/lsan.supp (only libraries outside the project are listed there).
extern "C" const char* __lsan_default_options() {
  return "suppressions=" HALV_LSAN_SUPPRESSIONS;
}
