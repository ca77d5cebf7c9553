#include "platform/system/TaskInfo.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace zestrel::platform {

namespace {

constexpr task_name_t kSelfTask = 0x103;

// The "RssAnon" and "VmSwap" figures of /proc/self/status, in bytes; nothing when the
// file or the resident figure cannot be read.
std::optional<std::uint64_t> anonymousMemoryBytes() {
    std::ifstream status("/proc/self/status");
    if (!status) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> resident;
    std::uint64_t swapped = 0;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kilobytes = 0;
        std::string unit;
        if (!(fields >> name >> kilobytes >> unit) || unit != "kB") {
            continue;
        }
        if (name == "RssAnon:") {
            resident = kilobytes * 1024;
        } else if (name == "VmSwap:") {
            swapped = kilobytes * 1024;
        }
    }
    if (!resident) {
        return std::nullopt;
    }
    return *resident + swapped;
}

kern_return_t linuxTaskInfo(task_name_t task, task_flavor_t flavor, task_info_t info,
                            mach_msg_type_number_t* count) {
    if (task != kSelfTask || flavor != TASK_VM_INFO || info == nullptr || count == nullptr ||
        *count < TASK_VM_INFO_REV1_COUNT) {
        return KERN_INVALID_ARGUMENT;
    }
    const auto footprint = anonymousMemoryBytes();
    if (!footprint) {
        return KERN_FAILURE;
    }
    task_vm_info_data_t answer{};
    answer.phys_footprint = *footprint;
    const mach_msg_type_number_t words = std::min(*count, TASK_VM_INFO_COUNT);
    std::memcpy(info, &answer, words * sizeof(natural_t));
    *count = words;
    return KERN_SUCCESS;
}

std::atomic<TaskInfoFunction> taskInfoFunction{&linuxTaskInfo};

} // namespace

task_name_t mach_task_self() {
    return kSelfTask;
}

kern_return_t task_info(task_name_t task, task_flavor_t flavor, task_info_t info,
                        mach_msg_type_number_t* count) {
    return taskInfoFunction.load()(task, flavor, info, count);
}

ScopedTaskInfoOverride::ScopedTaskInfoOverride(TaskInfoFunction replacement)
    : previous_(taskInfoFunction.exchange(replacement)) {}

ScopedTaskInfoOverride::~ScopedTaskInfoOverride() {
    taskInfoFunction.store(previous_);
}

} // namespace zestrel::platform
