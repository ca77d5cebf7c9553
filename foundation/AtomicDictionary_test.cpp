#include "foundation/AtomicArray.h"
#include "foundation/AtomicDictionary.h"
#include "foundation/AtomicSet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zestrel {
namespace {

TEST(AtomicDictionaryTest, SetReadBackAndRemove) {
    AtomicDictionary<std::string, int> dictionary;
    EXPECT_EQ(dictionary.lock().label(), "com.Quorvik.AtomicDictionary");
    dictionary.set("a", 1);
    EXPECT_EQ(dictionary["a"], 1);
    dictionary.set("a", 2);
    EXPECT_EQ(dictionary["a"], 2);

    dictionary.set("absent", std::nullopt);
    EXPECT_EQ(dictionary.count(), 1u);
    EXPECT_FALSE(dictionary["absent"].has_value());

    dictionary.set("a", std::nullopt);
    EXPECT_EQ(dictionary.count(), 0u);
}

TEST(AtomicDictionaryTest, MergeReplacesPresentKeysAndKeepsOthers) {
    AtomicDictionary<std::string, platform::Value> dictionary;
    dictionary.set("kept", platform::Value("old"));
    dictionary.set("replaced", platform::Value(1));
    dictionary.merge(platform::Value::Dictionary{{"replaced", 2}, {"added", true}});
    EXPECT_EQ(dictionary["kept"], platform::Value("old"));
    EXPECT_EQ(dictionary["replaced"], platform::Value(2));
    EXPECT_EQ(dictionary["added"], platform::Value(true));
}

TEST(AtomicDictionaryTest, DebugDescriptions) {
    AtomicDictionary<std::string, int> dictionary;
    EXPECT_EQ(dictionary.debugDescription(), "[:]");
    dictionary.set("a", 1);
    EXPECT_EQ(dictionary.debugDescription(), "[\"a\": 1]");

    AtomicArray<std::string> array;
    EXPECT_EQ(array.lock().label(), "com.Quorvik.AtomicArray");
    EXPECT_EQ(array.debugDescription(), "[]");
    array.append("x");
    array.append("y");
    EXPECT_EQ(array.debugDescription(), "[\"x\", \"y\"]");

    AtomicArray<std::function<void()>> closures;
    closures.append([] {});
    EXPECT_EQ(closures.debugDescription(), "[(Function)]");
}

TEST(AtomicDictionaryTest, SnapshotIsNotAffectedByLaterWrites) {
    AtomicArray<int> array;
    array.append(1);
    auto snapshot = array.snapshot();
    array.append(2);
    EXPECT_EQ(snapshot, std::vector<int>{1});
    EXPECT_EQ(array.snapshot(), (std::vector<int>{1, 2}));
}

// A writer keeps "a" and "b" equal through merges; readers on other threads must never
// see a snapshot in which they differ, nor miss one of a writer's own writes.
TEST(AtomicDictionaryTest, ConcurrentReadersSeeWholeWritesOnly) {
    AtomicDictionary<std::string, int> dictionary;
    dictionary.merge(std::map<std::string, int>{{"a", 0}, {"b", 0}});
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};

    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                auto snapshot = dictionary.snapshot();
                if (snapshot.at("a") != snapshot.at("b")) {
                    ++mixed;
                }
            }
        });
    }
    std::vector<std::thread> writers;
    std::atomic<int> unseenOwnWrites{0};
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([&, w] {
            for (int i = 0; i < 1000; ++i) {
                int value = w * 100000 + i;
                dictionary.merge(std::map<std::string, int>{{"a", value}, {"b", value}});
                std::string own = "own" + std::to_string(w);
                dictionary.set(own, i);
                if (dictionary[own] != i) {
                    ++unseenOwnWrites;
                }
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    done.store(true);
    for (auto& reader : readers) {
        reader.join();
    }
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_EQ(unseenOwnWrites.load(), 0);
}

TEST(AtomicSetTest, EqualSetsAreEqualAndHashTheSame) {
    AtomicSet<std::string> first({"a", "b", "c"});
    AtomicSet<std::string> second;
    for (const char* element : {"c", "b", "a"}) {
        second.insert(element);
    }
    EXPECT_TRUE(first == second);
    EXPECT_EQ(std::hash<AtomicSet<std::string>>{}(first),
              std::hash<AtomicSet<std::string>>{}(second));

    EXPECT_TRUE(second.remove("a"));
    EXPECT_FALSE(second.remove("a"));
    EXPECT_FALSE(first == second);
    EXPECT_FALSE(second.contains("a"));
}

TEST(AtomicSetTest, ComparingBothWaysOnTwoThreadsDoesNotDeadlock) {
    AtomicSet<int> first({1, 2});
    AtomicSet<int> second({1, 2});
    std::atomic<int> equal{0};
    auto compare = [&](const AtomicSet<int>& a, const AtomicSet<int>& b) {
        for (int i = 0; i < 5000; ++i) {
            if (a == b) {
                ++equal;
            }
        }
    };
    std::thread one(compare, std::cref(first), std::cref(second));
    std::thread two(compare, std::cref(second), std::cref(first));
    one.join();
    two.join();
    EXPECT_EQ(equal.load(), 10000);
}

} // namespace
} // namespace zestrel
