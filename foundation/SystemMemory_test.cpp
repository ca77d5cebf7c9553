#include "foundation/SystemMemory.h"

#include "platform/base/Error.h"
#include "platform/system/HostMemory.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

namespace zestrel {
namespace {

namespace pf = platform;

long fixedFigures(int name) {
    return name == _SC_PAGESIZE ? 4096 : name == _SC_AVPHYS_PAGES ? 1000 : -1;
}

long failingFigures(int) {
    errno = EIO;
    return -1;
}

class SystemMemoryTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
};

TEST_F(SystemMemoryTest, AvailableMemoryIsFreePagesTimesPageSize) {
    pf::ScopedSysconfOverride override(&fixedFigures);
    EXPECT_EQ(availableMemory(), Bytes{4096000});
    EXPECT_TRUE(environment.reports().empty());
}

TEST_F(SystemMemoryTest, AFailureIsReportedOnceAndCountsAsZero) {
    pf::ScopedSysconfOverride override(&failingFigures);
    EXPECT_THROW(systemFreeMemory(), pf::Error);
    EXPECT_EQ(availableMemory(), Bytes::zero());
    const auto reports = environment.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].domain(), pf::NSPOSIXErrorDomain);
}

} // namespace
} // namespace zestrel
