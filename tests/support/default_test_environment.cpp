// Linked into every QtTest program: started by hand (no QT_QPA_PLATFORM chosen), the program
// gets the environment ctest gives it (tests/CMakeLists.txt), so it runs without a display
// and lays text out at 96 dpi. Set during static initialisation, before any QApplication.
#include "default_test_environment.h"

#include <cstdlib>

namespace {

[[maybe_unused]] const bool defaulted = [] {
    if (std::getenv("QT_QPA_PLATFORM") != nullptr) {
        return false;
    }
    for (const char* assignment : tessivo_test::kEnvironment) {
        putenv(const_cast<char*>(assignment)); // NOLINT: putenv keeps the string, a literal
    }
    return true;
}();

} // namespace
