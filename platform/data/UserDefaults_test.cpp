#include "platform/data/UserDefaults.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/RunLoop.h"
#include "platform/data/FileSafety.h"
#include "platform/data/PropertyList.h"
#include "platform/testing/TestEnvironment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <random>
#include <thread>

extern char** environ;

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Optional;

class UserDefaultsTest : public ::testing::Test {
protected:
    fs::path preferences() const { return environment.configHome() / "zestrel" / "Preferences"; }
    fs::path fileOf(const std::string& domain) const { return preferences() / (domain + ".plist"); }

    Data readFile(const fs::path& path) const {
        std::ifstream in(path, std::ios::binary);
        return Data(std::istreambuf_iterator<char>(in), {});
    }
    void writeFile(const fs::path& path, const Data& bytes) const {
        fs::create_directories(path.parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }

    testing::TestEnvironment environment;
};

TEST_F(UserDefaultsTest, EveryValueKindSurvivesARestart) {
    const Date precise = currentDate().addingTimeInterval(0.000123);
    const Value::Dictionary written = {
        {"bool", true},
        {"one", 1},
        {"negative", -42},
        {"huge", std::numeric_limits<std::uint64_t>::max()},
        {"real", 0.1},
        {"text", "Grüße 🦅 世界"},
        {"data", Data{0, 0xff, 7}},
        {"date", precise},
        {"nested",
         Value::Array{Value::Dictionary{{"inner", Value::Array{false, 2.5, "x"}}}, Value::Array{}}},
    };
    auto defaults = UserDefaults::standard();
    for (const auto& [key, value] : written) {
        defaults->setObject(value, key);
    }
    defaults.reset();
    resetProcess();
    ASSERT_TRUE(fs::exists(fileOf("com.quorvik.Zestrel")));

    auto reloaded = UserDefaults::standard();
    for (const auto& [key, value] : written) {
        EXPECT_EQ(reloaded->object(key), value) << key;
    }
    EXPECT_EQ(reloaded->object("bool").kind(), Value::Kind::boolean);
    EXPECT_EQ(reloaded->object("one").kind(), Value::Kind::integer);
    EXPECT_NE(reloaded->object("one"), Value(true));
    EXPECT_EQ(reloaded->object("huge").kind(), Value::Kind::unsignedInteger);
    EXPECT_EQ(reloaded->object("date").asDate()->timeIntervalSinceReferenceDate,
              precise.timeIntervalSinceReferenceDate);
    EXPECT_EQ(reloaded->persistentDomain("com.quorvik.Zestrel"), written);
}

TEST_F(UserDefaultsTest, ConversionRules) {
    struct Case {
        Value stored;
        std::optional<std::string> string;
        std::int64_t integer;
        double real;
        bool flag;
    };
    const std::vector<Case> cases = {
        {" +0042", " +0042", 42, 42, true},
        {"no", "no", 0, 0, false},
        {"YES", "YES", 0, 0, true},
        {"true", "true", 0, 0, true},
        {"0", "0", 0, 0, false},
        {"-3.75e1", "-3.75e1", -3, -37.5, true},
        {"\t 007abc", "\t 007abc", 7, 7, true},
        {"00", "00", 0, 0, false},
        {"", "", 0, 0, false},
        {0.5, "0.5", 0, 0.5, true},
        {-2.9, "-2.9", -2, -2.9, true},
        {0.0, "0", 0, 0, false},
        {3, "3", 3, 3, true},
        {true, "1", 1, 1, true},
        {false, "0", 0, 0, false},
        {Data{1}, std::nullopt, 0, 0, false},
        {Value::Array{"1"}, std::nullopt, 0, 0, false},
        {Value(), std::nullopt, 0, 0, false},
    };
    auto defaults = UserDefaults::standard();
    for (const auto& item : cases) {
        defaults->setObject(item.stored, "k");
        const std::string label = item.stored.debugDescribe();
        EXPECT_EQ(defaults->string("k"), item.string) << label;
        EXPECT_EQ(defaults->integer("k"), item.integer) << label;
        EXPECT_DOUBLE_EQ(defaults->doubleValue("k"), item.real) << label;
        EXPECT_EQ(defaults->boolValue("k"), item.flag) << label;
    }
    defaults->setObject("99999999999999999999", "k");
    EXPECT_EQ(defaults->integer("k"), std::numeric_limits<std::int64_t>::max());
    defaults->setObject(1e300, "k");
    EXPECT_EQ(defaults->integer("k"), std::numeric_limits<std::int64_t>::max());
}

TEST_F(UserDefaultsTest, CollectionAndURLGetters) {
    auto defaults = UserDefaults::standard();
    defaults->setObject(Value::Array{"a", "b"}, "strings");
    defaults->setObject(Value::Array{"a", 1}, "mixed");
    defaults->setObject(Value::Dictionary{{"k", 1}}, "dictionary");
    EXPECT_EQ(defaults->stringArray("strings"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(defaults->stringArray("mixed"), std::nullopt);
    EXPECT_EQ(defaults->array("mixed")->size(), 2u);
    EXPECT_EQ(defaults->dictionary("dictionary"), (Value::Dictionary{{"k", 1}}));
    EXPECT_EQ(defaults->dictionary("strings"), std::nullopt);
    EXPECT_EQ(defaults->data("strings"), std::nullopt);

    const URL site = *URL::parse("https://example.com/a/b?c=d");
    defaults->set(site, "site");
    EXPECT_EQ(defaults->object("site"), Value("https://example.com/a/b?c=d"));
    EXPECT_EQ(defaults->url("site"), site);
    defaults->setObject("~/Documents", "path");
    EXPECT_EQ(defaults->url("path"), URL::fileURL((environment.home() / "Documents").string()));
    EXPECT_EQ(defaults->url("strings"), std::nullopt);
}

TEST_F(UserDefaultsTest, ObjectsThatAPropertyListCannotHoldStopTheProcess) {
    auto defaults = UserDefaults::standard();
    EXPECT_DEATH(defaults->setObject(*URL::parse("file:///tmp/x"), "u"),
                 "Attempt to insert non-property list object file:///tmp/x for key u");
    EXPECT_DEATH(defaults->setObject(Value::Array{UUID{}}, "list"),
                 "Attempt to insert non-property list object");
}

TEST_F(UserDefaultsTest, RegistrationIsSearchedLastAndTheLatestWins) {
    auto defaults = UserDefaults::standard();
    defaults->registerDefaults({{"sound", true}, {"count", 3}});
    defaults->registerDefaults({{"sound", false}});
    EXPECT_EQ(defaults->object("sound"), Value(false));
    EXPECT_EQ(defaults->object("count"), Value(3));

    defaults->setObject(true, "sound");
    EXPECT_EQ(defaults->object("sound"), Value(true));
    defaults->removeObject("sound");
    EXPECT_EQ(defaults->object("sound"), Value(false));
    EXPECT_EQ(defaults->volatileDomain(NSRegistrationDomain),
              (Value::Dictionary{{"sound", false}, {"count", 3}}));

    defaults->setObject("kept", "written");
    defaults.reset();
    resetProcess();
    auto relaunched = UserDefaults::standard();
    EXPECT_TRUE(relaunched->object("sound").isAbsent());
    EXPECT_EQ(relaunched->persistentDomain("com.quorvik.Zestrel"),
              (Value::Dictionary{{"written", "kept"}}));
}

TEST_F(UserDefaultsTest, GlobalDomainIsSharedAndSearchedAfterTheAppDomain) {
    writeFile(fileOf(NSGlobalDomain),
              PropertyList::encodeBinary(Value::Dictionary{{"AppleLocale", "en_US"}, {"x", 1}}));
    auto defaults = UserDefaults::standard();
    auto group = UserDefaults::suite("group.quorvik.shared");
    EXPECT_EQ(defaults->object("AppleLocale"), Value("en_US"));
    EXPECT_EQ(group->object("AppleLocale"), Value("en_US"));
    defaults->setObject(2, "x");
    EXPECT_EQ(defaults->object("x"), Value(2));
    EXPECT_EQ(group->object("x"), Value(1));
    EXPECT_EQ(defaults->dictionaryRepresentation(),
              (Value::Dictionary{{"AppleLocale", "en_US"}, {"x", 2}}));
}

TEST_F(UserDefaultsTest, SuitesAreSharedPerNameAndKeptApart) {
    EXPECT_EQ(UserDefaults::suite(NSGlobalDomain), nullptr);
    EXPECT_EQ(UserDefaults::suite("com.quorvik.Zestrel"), nullptr);
    EXPECT_EQ(UserDefaults::suite(""), nullptr);
    EXPECT_EQ(UserDefaults::suite("../escape"), nullptr);
    auto group = UserDefaults::suite("group.quorvik");
    EXPECT_EQ(group, UserDefaults::suite("group.quorvik"));
    EXPECT_EQ(UserDefaults::standard(), UserDefaults::standard());

    group->setObject("g", "k");
    UserDefaults::standard()->setObject("s", "k");
    UserDefaults::flushAll();
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("group.quorvik"))),
              Value(Value::Dictionary{{"k", "g"}}));
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"k", "s"}}));
}

TEST_F(UserDefaultsTest, RemoveAllKeepsRegisteredDefaults) {
    auto defaults = UserDefaults::standard();
    defaults->registerDefaults({{"a", 1}});
    defaults->setObject(5, "a");
    defaults->setObject("x", "b");
    defaults->removeAll();
    EXPECT_EQ(defaults->dictionaryRepresentation(), (Value::Dictionary{{"a", 1}}));
    EXPECT_EQ(defaults->persistentDomain("com.quorvik.Zestrel"), std::nullopt);
}

TEST_F(UserDefaultsTest, ReplacingTheAppDomainReportsTheKeysThatChange) {
    auto defaults = UserDefaults::standard();
    defaults->setObject(1, "same");
    defaults->setObject(1, "changed");
    defaults->setObject(1, "dropped");
    std::vector<std::string> reported;
    for (const char* key : {"same", "changed", "dropped", "added"}) {
        defaults->addObserver(
            key, 0, [&](const KeyValueNotification& n) { reported.push_back(n.keyPath); });
    }
    defaults->setPersistentDomain({{"same", 1}, {"changed", 2}, {"added", 3}},
                                  "com.quorvik.Zestrel");
    EXPECT_EQ(reported, (std::vector<std::string>{"added", "changed", "dropped"}));
    EXPECT_EQ(defaults->object("changed"), Value(2));
    EXPECT_TRUE(defaults->object("dropped").isAbsent());

    defaults->setPersistentDomain({{"k", "v"}}, "group.other");
    EXPECT_EQ(UserDefaults::suite("group.other")->object("k"), Value("v"));
    defaults->removePersistentDomain("group.other");
    EXPECT_EQ(defaults->persistentDomain("group.other"), std::nullopt);
}

TEST_F(UserDefaultsTest, ADamagedFileIsMovedAsideWithItsBytesAndTheDomainStartsEmpty) {
    const Data garbage = {'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xde, 0xad};
    writeFile(fileOf("com.quorvik.Zestrel"), garbage);

    auto defaults = UserDefaults::standard();
    EXPECT_TRUE(defaults->dictionaryRepresentation().empty());
    const fs::path aside = preferences() / "com.quorvik.Zestrel.plist.corrupt-20260115T100000Z";
    ASSERT_TRUE(fs::exists(aside));
    EXPECT_EQ(readFile(aside), garbage);
    EXPECT_FALSE(fs::exists(fileOf("com.quorvik.Zestrel")));
    ASSERT_EQ(environment.logRecords().size(), 1u);
    EXPECT_EQ(environment.logRecords()[0].type, OSLogType::error);
    EXPECT_THAT(environment.logLines()[0],
                HasSubstr("is damaged; it was moved to " + aside.string()));

    defaults->setObject(1, "fresh");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(readFile(aside), garbage);
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"fresh", 1}}));
}

TEST_F(UserDefaultsTest, ASecondDamagedFileDoesNotReplaceTheFirstOneMovedAside) {
    writeFile(fileOf("group.a"), Data{'o', 'n', 'e'});
    UserDefaults::suite("group.a");
    resetProcess();
    writeFile(fileOf("group.a"), Data{'t', 'w', 'o'});
    UserDefaults::suite("group.a");
    const fs::path first = preferences() / "group.a.plist.corrupt-20260115T100000Z";
    EXPECT_EQ(readFile(first), (Data{'o', 'n', 'e'}));
    EXPECT_EQ(readFile(fs::path(first.string() + "-1")), (Data{'t', 'w', 'o'}));
}

TEST_F(UserDefaultsTest, WritesLeaveNoTemporaryFiles) {
    auto defaults = UserDefaults::standard();
    defaults->setObject(1, "a");
    defaults->synchronize();
    defaults->setObject(2, "a");
    defaults->synchronize();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(preferences())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"com.quorvik.Zestrel.plist"}));
    EXPECT_EQ(UserDefaults::fileWriteCount(), 2u);
}

TEST_F(UserDefaultsTest, ABurstOfWritesCostsOneFileWriteAtTheEndOfTheTurn) {
    auto defaults = UserDefaults::standard();
    for (int i = 0; i < 100; ++i) {
        defaults->setObject(i, "counter");
    }
    EXPECT_EQ(UserDefaults::fileWriteCount(), 0u);
    EXPECT_FALSE(fs::exists(fileOf("com.quorvik.Zestrel")));

    RunLoop::main().runUntilIdle();
    EXPECT_EQ(UserDefaults::fileWriteCount(), 1u);
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"counter", 99}}));

    RunLoop::main().runUntilIdle();
    EXPECT_EQ(UserDefaults::fileWriteCount(), 1u); // nothing new: no write

    defaults->removeObject("counter");
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(UserDefaults::fileWriteCount(), 2u);
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{}));

    // The turn's write comes also while a main-queue block waits on an alert.
    std::optional<bool> writtenDuringTheAlert;
    DispatchQueue::main().async([&] {
        defaults->setObject(1, "during");
        writtenDuringTheAlert = RunLoop::main().runModal(
            RunLoopMode::modalPanel, [] { return UserDefaults::fileWriteCount() == 3u; });
    });
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(writtenDuringTheAlert, true);
}

TEST_F(UserDefaultsTest, SynchronizeWritesAtOnceAndTheScheduledTurnThenHasNothingToDo) {
    auto defaults = UserDefaults::standard();
    defaults->setObject("now", "k");
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(UserDefaults::fileWriteCount(), 1u);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(UserDefaults::fileWriteCount(), 1u);
}

TEST_F(UserDefaultsTest, EveryChangePostsTheDidChangeNotificationOnTheWritingThread) {
    auto defaults = UserDefaults::standard();
    std::vector<std::thread::id> threads;
    auto token = NotificationCenter::defaultCenter()->addObserver(
        std::string(UserDefaultsDidChangeNotification), Value(),
        [&](const Notification& notification) {
            EXPECT_EQ(notification.object.asObject(), defaults);
            threads.push_back(std::this_thread::get_id());
        });
    defaults->setObject(1, "a");
    defaults->setObject(1, "a");
    defaults->removeObject("a");
    defaults->removeObject("a");            // nothing to remove
    defaults->registerDefaults({{"b", 2}}); // the effective value changes
    defaults->registerDefaults({{"b", 2}}); // it does not
    EXPECT_EQ(threads.size(), 4u);

    std::thread writer([&] { defaults->setObject(3, "c"); });
    const auto writerId = writer.get_id();
    writer.join();
    ASSERT_EQ(threads.size(), 5u);
    EXPECT_EQ(threads.back(), writerId);
    NotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(UserDefaultsTest, WritersOnSeveralThreadsLoseNothing) {
    auto defaults = UserDefaults::standard();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                defaults->setObject(i, "t" + std::to_string(t) + "-" + std::to_string(i));
                if (i % 10 == 0) {
                    defaults->synchronize();
                }
            }
        });
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_TRUE(defaults->synchronize());
    const Value stored = PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel")));
    EXPECT_EQ(stored.asDictionary()->size(), 200u);
}

// MARK: Keeping every write

TEST_F(UserDefaultsTest, AWriteIsKeptWhenTheProcessExitsBeforeTheTurnEnds) {
    auto defaults = UserDefaults::standard();
    defaults->setObject(5, "counter");
    RunLoop::main().runUntilIdle();
    EXPECT_EXIT(
        {
            defaults->setObject(77, "counter");
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"counter", 77}}));
}

TEST_F(UserDefaultsTest, AWriteIsKeptWhenTheProcessStopsInFatal) {
    auto defaults = UserDefaults::standard();
    EXPECT_DEATH(
        {
            defaults->setObject(77, "counter");
            fatal("stopping with a write pending");
        },
        "stopping with a write pending");
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"counter", 77}}));
}

// A key the list cannot hold would make every later write of the domain fail and lose every
// setting: it is refused as a bad value is, and the settings made before it are written.
TEST_F(UserDefaultsTest, KeysThatAPropertyListCannotHoldStopTheProcessAndKeepTheRest) {
    auto defaults = UserDefaults::standard();
    defaults->setObject(77, "counter");
    EXPECT_DEATH(
        {
            defaults->setObject("text", "sound");
            defaults->setObject(true, std::string("a\0b", 3));
        },
        "Attempt to insert non-property list object true for key \"a\\\\0b\"");
    const Value::Dictionary kept{{"counter", 77}, {"sound", "text"}};
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))), Value(kept));
    EXPECT_DEATH(defaults->setObject(1, "caf\xE9"),
                 "Attempt to insert non-property list object 1 for key");
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"counter", 77}}));
}

TEST_F(UserDefaultsTest, ADomainWhoseFileCannotBeReadIsNotSynchronizedAndSaysSoOnce) {
    fs::create_directories(fileOf("com.quorvik.Zestrel")); // a folder where the file goes
    auto defaults = UserDefaults::standard();
    environment.clearCaptures();
    defaults->setObject(1, "a");
    EXPECT_FALSE(defaults->synchronize());
    defaults->setObject(2, "a");
    RunLoop::main().runUntilIdle();
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_EQ(environment.logLines().size(), 1u);
    EXPECT_THAT(environment.logLines().at(0),
                HasSubstr("Could not write the preferences of com.quorvik.Zestrel"));
    EXPECT_THAT(defaults->writeFailure(), Optional(HasSubstr("could not be read")));
    EXPECT_TRUE(fs::is_directory(fileOf("com.quorvik.Zestrel")));
    EXPECT_EQ(UserDefaults::fileWriteCount(), 0u);
}

TEST_F(UserDefaultsTest, AFailedWriteStaysPendingUntilTheFolderCanBeMade) {
    auto defaults = UserDefaults::standard();
    const fs::path blocker = environment.configHome() / "zestrel";
    std::ofstream(blocker) << "a file where the folder goes";
    defaults->setObject("kept", "k");
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_FALSE(defaults->synchronize());
    EXPECT_EQ(environment.logLines().size(), 1u) << "a failing domain says so once";
    EXPECT_THAT(defaults->writeFailure(), Optional(HasSubstr("Not a directory")));
    EXPECT_EQ(UserDefaults::suite("other")->writeFailure(), std::nullopt);

    fs::remove(blocker);
    EXPECT_TRUE(defaults->synchronize());
    EXPECT_EQ(defaults->writeFailure(), std::nullopt);
    EXPECT_EQ(PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel"))),
              Value(Value::Dictionary{{"k", "kept"}}));
}

TEST_F(UserDefaultsTest, TemporaryFilesOfDeadWritesAreRemovedWhenTheDomainLoads) {
    writeFile(fileOf("com.quorvik.Zestrel"), PropertyList::encodeBinary(Value::Dictionary{}));
    // Another domain's temporary, and names only a person gives (a write's temporaries once
    // took the last form): kept.
    const std::vector<std::string> others = {
        temporaryNameFor("group.a.plist"), ".com.quorvik.Zestrel.plist",
        "com.quorvik.Zestrel.plist.Ab12Cd", ".com.quorvik.Zestrel.plist.Ab12Cd", "notes.txt"};
    for (const std::string& name : others) {
        writeFile(preferences() / name, Data{1});
    }
    writeFile(preferences() / temporaryNameFor("com.quorvik.Zestrel.plist"), Data(1 << 20, 7));
    writeFile(preferences() / temporaryNameFor("com.quorvik.Zestrel.plist"), Data{1});

    UserDefaults::standard();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(preferences())) {
        names.push_back(entry.path().filename().string());
    }
    std::vector<std::string> expected = others;
    expected.push_back("com.quorvik.Zestrel.plist");
    EXPECT_THAT(names, ::testing::UnorderedElementsAreArray(expected));
}

TEST_F(UserDefaultsTest, AWriteGoesThroughASymbolicLinkToTheFileItLeadsTo) {
    const fs::path target = environment.home() / "dotfiles" / "zestrel.plist";
    writeFile(target, PropertyList::encodeBinary(Value::Dictionary{{"old", 1}}));
    fs::create_directories(preferences());
    fs::create_symlink("../../../dotfiles/zestrel.plist", fileOf("com.quorvik.Zestrel"));

    auto defaults = UserDefaults::standard();
    EXPECT_EQ(defaults->object("old"), Value(1));
    defaults->setObject(2, "new");
    EXPECT_TRUE(defaults->synchronize());

    EXPECT_TRUE(fs::is_symlink(fileOf("com.quorvik.Zestrel")));
    EXPECT_EQ(PropertyList::decode(readFile(target)),
              Value(Value::Dictionary{{"old", 1}, {"new", 2}}));
    EXPECT_EQ(std::distance(fs::directory_iterator(target.parent_path()), {}), 1);
}

// A writer process killed at random moments: each run goes on from the counter the last one
// left. It signals on descriptor 3 just before each write, so the kill lands inside one.
constexpr const char* kKilledWriterVariable = "ZESTREL_KILLED_WRITER";

class KilledWriter : public ::testing::Environment {
public:
    void SetUp() override {
        if (std::getenv(kKilledWriterVariable) == nullptr) {
            return;
        }
        auto defaults = UserDefaults::standard();
        for (std::int64_t counter = defaults->integer("counter") + 1;; ++counter) {
            defaults->setObject(counter, "counter");
            // A payload that grows with the counter, so a torn file cannot pass for a whole one.
            defaults->setObject(Data(static_cast<std::size_t>(counter % 64) * 512,
                                     static_cast<std::uint8_t>(counter)),
                                "payload");
            const char tick = 't';
            if (::write(3, &tick, 1) != 1) {
                std::_Exit(1);
            }
            defaults->synchronize();
        }
    }
};
[[maybe_unused]] ::testing::Environment* const killedWriter =
    ::testing::AddGlobalTestEnvironment(new KilledWriter);

TEST_F(UserDefaultsTest, AWriterKilledAtAnyMomentLeavesAWholeFileThatNeverGoesBack) {
    std::mt19937 random(20260115);
    std::string filter = "--gtest_filter=UserDefaultsTest."
                         "AWriterKilledAtAnyMomentLeavesAWholeFileThatNeverGoesBack";
    std::string program = "/proc/self/exe";
    char* argv[] = {program.data(), filter.data(), nullptr};
    std::vector<std::string> variables = {std::string(kKilledWriterVariable) + "=1"};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        variables.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);

    std::int64_t last = 0;
    for (int run = 0; run < 50; ++run) {
        int ticks[2];
        ASSERT_EQ(::pipe2(ticks, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ticks[1], 3);
        pid_t child = 0;
        ASSERT_EQ(posix_spawn(&child, argv[0], &actions, nullptr, argv, envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ticks[1]);
        // Between one and three writes begun, then the kill.
        const int writes = std::uniform_int_distribution(1, 3)(random);
        char tick = 0;
        for (int i = 0; i < writes; ++i) {
            ASSERT_EQ(::read(ticks[0], &tick, 1), 1) << "the writer stopped on its own";
        }
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(ticks[0]);
        ASSERT_TRUE(WIFSIGNALED(status));

        if (!fs::exists(fileOf("com.quorvik.Zestrel"))) {
            continue; // killed inside its first write
        }
        const Value stored = PropertyList::decode(readFile(fileOf("com.quorvik.Zestrel")));
        const auto& values = *stored.asDictionary();
        const std::int64_t counter = *values.at("counter").asInt64();
        EXPECT_GE(counter, last) << "run " << run;
        EXPECT_EQ(values.at("payload").asData()->size(),
                  static_cast<std::size_t>(counter % 64) * 512);
        last = counter;
    }
    EXPECT_GE(last, 25) << "the writers made progress";

    UserDefaults::standard();
    EXPECT_EQ(std::distance(fs::directory_iterator(preferences()), {}), 1)
        << "no temporary file outlives the next load";
}

// MARK: Observation

struct Recorder {
    std::vector<Value::Dictionary> changes;
    KeyValueObserver observer() {
        return [this](const KeyValueNotification& n) { changes.push_back(n.change); };
    }
};

TEST_F(UserDefaultsTest, KeyObserversSeeWritesRemovalsAndRegistrations) {
    auto defaults = UserDefaults::standard();
    Recorder recorder;
    defaults->addObserver("k", NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld,
                          recorder.observer());
    defaults->setObject(1, "k");
    defaults->setObject(1, "k");            // the same value is reported again
    defaults->registerDefaults({{"k", 7}}); // shadowed by the written value: no change
    defaults->removeObject("k");
    defaults->removeObject("k"); // nothing there: no change
    defaults->registerDefaults({{"k", 8}});
    defaults->registerDefaults({{"k", 8}}); // same value: no change
    defaults->setObject(2, "other");

    const Value null = Value::null();
    EXPECT_EQ(recorder.changes, (std::vector<Value::Dictionary>{
                                    {{"kind", 1u}, {"new", 1}, {"old", null}},
                                    {{"kind", 1u}, {"new", 1}, {"old", 1}},
                                    {{"kind", 1u}, {"new", 7}, {"old", 1}},
                                    {{"kind", 1u}, {"new", 8}, {"old", 7}},
                                }));
}

TEST_F(UserDefaultsTest, InitialAndPriorNotifications) {
    auto defaults = UserDefaults::standard();
    defaults->registerDefaults({{"k", false}});
    Recorder initial;
    Recorder prior;
    defaults->addObserver("k",
                          NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld |
                              NSKeyValueObservingOptionInitial,
                          initial.observer());
    defaults->addObserver("k",
                          NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld |
                              NSKeyValueObservingOptionPrior,
                          prior.observer());
    defaults->setObject(true, "k");

    EXPECT_EQ(initial.changes, (std::vector<Value::Dictionary>{
                                   {{"kind", 1u}, {"new", false}},
                                   {{"kind", 1u}, {"new", true}, {"old", false}},
                               }));
    EXPECT_EQ(prior.changes, (std::vector<Value::Dictionary>{
                                 {{"kind", 1u}, {"notificationIsPrior", true}, {"old", false}},
                                 {{"kind", 1u}, {"new", true}, {"old", false}},
                             }));
}

TEST_F(UserDefaultsTest, AnObserverCanRemoveItselfWhileCalled) {
    auto defaults = UserDefaults::standard();
    int calls = 0;
    KeyValueObservationToken token;
    token = defaults->addObserver("k", NSKeyValueObservingOptionNew,
                                  [&](const KeyValueNotification& n) {
                                      ++calls;
                                      EXPECT_EQ(n.object, defaults);
                                      defaults->removeObserver(token);
                                  });
    defaults->setObject(1, "k");
    defaults->setObject(2, "k");
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace zestrel::platform
