// Linked into every test program: before main, HOME, XDG_CONFIG_HOME and XDG_CACHE_HOME point
// into the build folder, so no test (nor a program a test starts) touches the settings or the
// cached books of the user running the suite.
#include <cstdlib>

namespace {

[[maybe_unused]] const bool kEnvironmentSet = [] {
    setenv("HOME", LECTORIX_TEST_HOME, 1);
    setenv("XDG_CONFIG_HOME", LECTORIX_TEST_HOME "/config", 1);
    setenv("XDG_CACHE_HOME", LECTORIX_TEST_HOME "/cache", 1);
    return true;
}();

}  // namespace
