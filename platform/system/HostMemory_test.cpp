#include "platform/system/HostMemory.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zestrel::platform {
namespace {

class HostMemoryTest : public ::testing::Test {
protected:
    testing::TestEnvironment environment;
};

long fixedFigures(int name) {
    return name == _SC_PAGESIZE ? 4096 : name == _SC_AVPHYS_PAGES ? 1000 : -1;
}

long failingPageCount(int name) {
    if (name == _SC_AVPHYS_PAGES) {
        errno = EIO;
        return -1;
    }
    return 4096;
}

long failingWithoutErrno(int) {
    return -1;
}

long hugeFigures(int) {
    return 1L << 40;
}

TEST_F(HostMemoryTest, FreePagesTimesPageSize) {
    ScopedSysconfOverride override(&fixedFigures);
    EXPECT_EQ(hostFreeMemoryBytes(), 4096000);
}

TEST_F(HostMemoryTest, RealHostAnswersAPositiveMultipleOfThePageSize) {
    const std::int64_t bytes = hostFreeMemoryBytes();
    EXPECT_GT(bytes, 0);
    EXPECT_EQ(bytes % sysconf(_SC_PAGESIZE), 0);
}

TEST_F(HostMemoryTest, FailedQueryThrowsThePosixError) {
    {
        ScopedSysconfOverride override(&failingPageCount);
        try {
            hostFreeMemoryBytes();
            FAIL() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.domain(), NSPOSIXErrorDomain);
            EXPECT_EQ(error.code(), EIO);
        }
        ScopedSysconfOverride inner(&failingWithoutErrno);
        try {
            hostFreeMemoryBytes();
            FAIL() << "no error";
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), EINVAL);
        }
    }
    EXPECT_GT(hostFreeMemoryBytes(), 0); // the real query is back
}

TEST(HostMemoryDeathTest, OverflowStopsTheProcess) {
    ScopedSysconfOverride override(&hugeFigures);
    EXPECT_DEATH(hostFreeMemoryBytes(), "overflows");
}

} // namespace
} // namespace zestrel::platform
