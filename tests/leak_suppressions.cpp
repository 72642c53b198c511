// fontconfig keeps caches it never frees; LeakSanitizer must not count them
// against the tests that draw text through FreeType.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
