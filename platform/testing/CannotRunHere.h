#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace zestrel::platform::testing {

// Says why the running test cannot do its part on this machine. The test is skipped, which
// ctest shows, and under CI (CI=true), where every part must run, it fails. Either way only
// the caller returns: its own caller goes on.
inline void cannotRunHere(const std::string& why) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string_view(ci) == "true") {
        ADD_FAILURE() << why;
    } else {
        GTEST_SKIP() << why;
    }
}

} // namespace zestrel::platform::testing
