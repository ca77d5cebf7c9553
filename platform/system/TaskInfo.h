#pragma once

#include "platform/base/MachError.h"

#include <cstddef>
#include <cstdint>

// The kernel's information about a task (`task_info`), as far as the program asks it: the
// VM figures of its own task.
namespace zestrel::platform {

using natural_t = std::uint32_t;
using integer_t = std::int32_t;
using mach_msg_type_number_t = natural_t;
using task_name_t = natural_t;
using task_flavor_t = natural_t;
using task_info_t = integer_t*;

inline constexpr task_flavor_t TASK_VM_INFO = 22;

// The answer to TASK_VM_INFO, counted in 32-bit words. Only `phys_footprint` is filled
// here; the other figures, and those of later revisions, stay zero. An answer of fewer than
// TASK_VM_INFO_REV1_COUNT words (an older kernel) has no footprint.
#pragma pack(push, 4)
struct task_vm_info_data_t {
    std::uint64_t virtual_size;
    integer_t region_count;
    integer_t page_size;
    std::uint64_t resident_size;
    std::uint64_t resident_size_peak;
    std::uint64_t device;
    std::uint64_t device_peak;
    std::uint64_t internal;
    std::uint64_t internal_peak;
    std::uint64_t external;
    std::uint64_t external_peak;
    std::uint64_t reusable;
    std::uint64_t reusable_peak;
    std::uint64_t purgeable_volatile_pmap;
    std::uint64_t purgeable_volatile_resident;
    std::uint64_t purgeable_volatile_virtual;
    std::uint64_t compressed;
    std::uint64_t compressed_peak;
    std::uint64_t compressed_lifetime;
    std::uint64_t phys_footprint;
    integer_t later_revisions[55];
};
#pragma pack(pop)

inline constexpr mach_msg_type_number_t TASK_VM_INFO_COUNT =
    sizeof(task_vm_info_data_t) / sizeof(natural_t);
// The words of the first revision, the one that added the footprint.
inline constexpr mach_msg_type_number_t TASK_VM_INFO_REV1_COUNT =
    (offsetof(task_vm_info_data_t, phys_footprint) + sizeof(std::uint64_t)) / sizeof(natural_t);
static_assert(TASK_VM_INFO_COUNT == 93 && TASK_VM_INFO_REV1_COUNT == 38);

// This process's own task.
task_name_t mach_task_self();

// Fills `info` with up to `*count` words of the flavor's answer and sets `*count` to the
// words written. KERN_INVALID_ARGUMENT for another task, another flavor or a buffer too
// small for the footprint; KERN_FAILURE when the process's memory cannot be read.
//
// On Linux the footprint is the process's anonymous memory, resident or swapped out
// ("RssAnon" plus "VmSwap" of /proc/self/status): the memory that stays the process's
// until it frees it, which is what the footprint counts. Mapped files and code are left
// out, as the system can drop and reload them.
kern_return_t task_info(task_name_t task, task_flavor_t flavor, task_info_t info,
                        mach_msg_type_number_t* count);

// Puts `replacement` in place of `task_info` for as long as it lives (tests: a fixed
// footprint, a failing or an older kernel).
using TaskInfoFunction = kern_return_t (*)(task_name_t, task_flavor_t, task_info_t,
                                           mach_msg_type_number_t*);
class ScopedTaskInfoOverride {
public:
    explicit ScopedTaskInfoOverride(TaskInfoFunction replacement);
    ~ScopedTaskInfoOverride();
    ScopedTaskInfoOverride(const ScopedTaskInfoOverride&) = delete;
    ScopedTaskInfoOverride& operator=(const ScopedTaskInfoOverride&) = delete;

private:
    TaskInfoFunction previous_;
};

} // namespace zestrel::platform
