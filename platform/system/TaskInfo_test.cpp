#include "platform/system/TaskInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace zestrel::platform {
namespace {

std::uint64_t footprint() {
    task_vm_info_data_t info{};
    mach_msg_type_number_t count = TASK_VM_INFO_COUNT;
    EXPECT_EQ(
        task_info(mach_task_self(), TASK_VM_INFO, reinterpret_cast<task_info_t>(&info), &count),
        KERN_SUCCESS);
    EXPECT_EQ(count, TASK_VM_INFO_COUNT);
    return info.phys_footprint;
}

TEST(TaskInfoTest, FootprintCountsMemoryTheProcessWritesTo) {
    const std::uint64_t before = footprint();
    EXPECT_GT(before, 0u);
    constexpr std::size_t kSize = 64u << 20;
    const auto block = std::make_unique<char[]>(kSize);
    std::memset(block.get(), 1, kSize);
    EXPECT_GE(footprint(), before + kSize / 2);
    EXPECT_EQ(block[kSize - 1], 1);
}

TEST(TaskInfoTest, RefusesOtherTasksFlavorsAndBuffersWithoutRoomForTheFootprint) {
    task_vm_info_data_t info{};
    const auto buffer = reinterpret_cast<task_info_t>(&info);
    mach_msg_type_number_t count = 37;
    EXPECT_EQ(task_info(mach_task_self(), TASK_VM_INFO, buffer, &count), KERN_INVALID_ARGUMENT);
    count = TASK_VM_INFO_COUNT;
    EXPECT_EQ(task_info(mach_task_self() + 1, TASK_VM_INFO, buffer, &count), KERN_INVALID_ARGUMENT);
    EXPECT_EQ(task_info(mach_task_self(), TASK_VM_INFO + 1, buffer, &count), KERN_INVALID_ARGUMENT);

    // Room for the footprint and no more: that much is written, and said.
    count = 38;
    EXPECT_EQ(task_info(mach_task_self(), TASK_VM_INFO, buffer, &count), KERN_SUCCESS);
    EXPECT_EQ(count, 38u);
    EXPECT_GT(info.phys_footprint, 0u);
}

} // namespace
} // namespace zestrel::platform
