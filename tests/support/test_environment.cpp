// Linked into every test program: before main, HOME and XDG_CONFIG_HOME point into the build
// folder, so no test (nor a program a test starts) touches the settings of the user running
// the suite.
#include <cstdlib>

namespace {

[[maybe_unused]] const bool kEnvironmentSet = [] {
    setenv("HOME", LECTORIX_TEST_HOME, 1);
    setenv("XDG_CONFIG_HOME", LECTORIX_TEST_HOME "/config", 1);
    return true;
}();

}  // namespace
