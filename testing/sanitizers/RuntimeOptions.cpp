// The sanitizer runtimes read these defaults before their environment variables
// (ASAN_OPTIONS, UBSAN_OPTIONS, TSAN_OPTIONS), so a caller's own options still win.
// They are built only into the programs of a sanitizer build that link the test support: every
// test suite and the example run with them, from ctest or by hand, and so do the child
// processes a test starts from its own program.
//
// Any finding stops the program with a report, so it fails the test that made it. The only
// suppressions are those of third-party code, each explained in cmake/sanitizers/.

extern "C" {

__attribute__((visibility("default"), used)) const char* __asan_default_options() {
    return "detect_leaks=1:check_initialization_order=1";
}

__attribute__((visibility("default"), used)) const char* __ubsan_default_options() {
    return "halt_on_error=1:print_stacktrace=1";
}

__attribute__((visibility("default"), used)) const char* __tsan_default_options() {
    return "halt_on_error=1:second_deadlock_stack=1:suppressions=" QOR_TSAN_SUPPRESSIONS;
}
}
