#include "console/ScriptFile.h"

#include "console/ScriptCommand.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;

std::string errorOf(const std::filesystem::path& path) {
    try {
        readScriptFile(path);
    } catch (const CommandError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for " << path;
    return {};
}

TEST(ScriptFile, ReadsTheWholeFileAsWritten) {
    platform::testing::TestEnvironment env;
    const auto path = env.home() / "script.zestrel";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF"
                                             "echo one\r\necho two";
    EXPECT_EQ(readScriptFile(path), "\xEF\xBB\xBF"
                                    "echo one\r\necho two");
}

TEST(ScriptFile, WhatCannotBeAScriptIsRefusedWithTheReason) {
    platform::testing::TestEnvironment env;
    EXPECT_THAT(errorOf(env.home()), HasSubstr("is a folder, not a script"));
    EXPECT_THAT(errorOf(env.home() / "missing"), HasSubstr(": No such file or directory"));
    // Opens for anyone, root too, and fails to read.
    EXPECT_THAT(errorOf("/proc/self/mem"),
                HasSubstr("cannot read /proc/self/mem: Input/output error"));
    EXPECT_THAT(errorOf("/dev/zero"), HasSubstr("is too large for a script"));
}

} // namespace
} // namespace zestrel::console
