#include "platform/base/ProcessLocal.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

std::vector<std::string>& destroyed() {
    static std::vector<std::string> names;
    return names;
}

struct Tracked {
    explicit Tracked(std::string n) : name(std::move(n)) {}
    ~Tracked() { destroyed().push_back(name); }
    std::string name;
};

ProcessLocal<Tracked> first([] { return std::make_unique<Tracked>("first"); });
ProcessLocal<Tracked> second([] { return std::make_unique<Tracked>("second"); });

TEST(ProcessLocal, ResetDestroysInReverseOrderOfCreation) {
    resetProcess();
    destroyed().clear();
    second.get();
    first.get();
    resetProcess();
    EXPECT_EQ(destroyed(), (std::vector<std::string>{"first", "second"}));
    EXPECT_FALSE(first.exists());
    EXPECT_EQ(first->name, "first"); // created anew on next use
    resetProcess();
}

TEST(ProcessLocal, ConcurrentFirstUseCreatesOneInstance) {
    resetProcess();
    int created = 0;
    ProcessLocal<int> counter([&created] {
        ++created;
        return std::make_unique<int>(7);
    });
    std::vector<std::thread> threads;
    std::vector<int*> seen(8);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] { seen[i] = &counter.get(); });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(created, 1);
    for (int* pointer : seen) {
        EXPECT_EQ(pointer, seen[0]);
    }
    resetProcess();
}

} // namespace
} // namespace zestrel::platform
