#include "foundation/SystemMemory.h"

#include "platform/base/Error.h"
#include "platform/base/MachError.h"
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

TEST_F(SystemMemoryTest, AFailureIsTheKernelsGeneralFailureReportedOnceAndCountsAsZero) {
    pf::ScopedSysconfOverride override(&failingFigures);
    try {
        systemFreeMemory();
        FAIL() << "no error";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.domain(), pf::NSMachErrorDomain);
        EXPECT_EQ(error.code(), pf::KERN_FAILURE);
        EXPECT_TRUE(error.nsError()->userInfo().empty());
    }
    EXPECT_EQ(availableMemory(), Bytes::zero());
    const auto reports = environment.reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].domain(), pf::NSMachErrorDomain);
    EXPECT_EQ(reports[0].code(), pf::KERN_FAILURE);
}

} // namespace
} // namespace zestrel
