#include "foundation/FileOperations.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;

class FileOperationsTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment environment;
    pf::URL url(const std::filesystem::path& path) {
        return pf::URL::fileURL((environment.home() / path).string());
    }
};

TEST_F(FileOperationsTest, CreatesDirectoriesWithTheirParents) {
    createDirectory(url("a/b/c"), true);
    EXPECT_TRUE(std::filesystem::is_directory(environment.home() / "a/b/c"));
    EXPECT_NO_THROW(createDirectory(url("a/b/c"), true));
}

TEST_F(FileOperationsTest, FailuresAreThePlatformsFileErrors) {
    createDirectory(url("existing"), false);
    auto codeOf = [](const std::function<void()>& attempt) -> std::int64_t {
        try {
            attempt();
        } catch (const pf::Error& error) {
            EXPECT_EQ(error.domain(), pf::NSCocoaErrorDomain);
            return error.code();
        }
        return 0;
    };
    EXPECT_EQ(codeOf([&] { createDirectory(url("existing"), false); }), 516);
    EXPECT_EQ(codeOf([&] { createDirectory(url("missing/child"), false); }), 4);
    std::ofstream(environment.home() / "file") << "x";
    EXPECT_EQ(codeOf([&] { createDirectory(url("file"), true); }), 516);
}

TEST_F(FileOperationsTest, FailuresSayWhichFolderAndWhy) {
    std::ofstream(environment.home() / "taken") << "x";
    try {
        createDirectory(url("taken"), true);
        ADD_FAILURE() << "no error";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.localizedDescription(),
                  "The file “taken” couldn’t be saved in the folder “home” because a file with "
                  "the same name already exists.");
        EXPECT_EQ(error.nsError()->localizedFailureReason(), "File exists");
    }
}

TEST_F(FileOperationsTest, ExistingFileURLsKeepsOrderAndDropsDeletedFiles) {
    EXPECT_TRUE(existingFileURLs({}).empty());
    std::ofstream(environment.home() / "one") << "1";
    std::ofstream(environment.home() / "two") << "2";
    std::filesystem::remove(environment.home() / "one");
    const std::vector<pf::URL> urls{url("two"), url("one"), url("home-less"), url("")};
    const std::vector<pf::URL> expected{url("two"), url("")};
    EXPECT_EQ(existingFileURLs(urls), expected);
}

} // namespace
} // namespace zestrel
