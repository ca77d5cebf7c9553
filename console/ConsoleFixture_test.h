#pragma once

// The fixture the console's tests share: a session folder in a test home and a console writing
// to strings. Everything here is inline, so several test files of one executable include it.

#include "console/Console.h"

#include "platform/base/Clock.h"
#include "platform/testing/FileContents.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

namespace zestrel::console {

class ConsoleTest : public ::testing::Test {
protected:
    ConsoleTest() : tmp_(madeFolder(env_.home() / "tmp")), console_(tmp_, out_, errors_) {}

    static std::filesystem::path madeFolder(std::filesystem::path folder) {
        std::filesystem::create_directories(folder);
        return folder;
    }

    int runScript(const std::string& script) {
        std::istringstream in(script);
        return console_.runScript(in, "test.zestrel");
    }

    int runExample(const std::string& name) {
        std::ifstream in(std::filesystem::path(ZESTREL_EXAMPLES_DIR) / name);
        EXPECT_TRUE(in.is_open()) << name;
        return console_.runScript(in, name);
    }

    int runTerminal(const std::string& input) {
        std::istringstream in(input);
        return console_.runTerminal(in);
    }

    std::vector<std::string> namesIn(const std::filesystem::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string contentsOf(const std::filesystem::path& file) {
        return platform::testing::contentsOf(file);
    }

    platform::testing::TestEnvironment env_;
    std::filesystem::path tmp_;
    std::ostringstream out_;
    std::ostringstream errors_;
    Console console_;
};

// Lines from a terminal where nobody types after the given ones: asking for more calls
// `waiting`, and blocks until the test lets go.
class SilentTerminal : public std::streambuf {
public:
    SilentTerminal(std::string lines, std::function<void()> waiting)
        : lines_(std::move(lines)), waiting_(std::move(waiting)) {
        setg(lines_.data(), lines_.data(), lines_.data() + lines_.size());
    }
    void letGo() {
        std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

protected:
    int_type underflow() override {
        waiting_();
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return released_; });
        return traits_type::eof();
    }

private:
    std::string lines_;
    std::function<void()> waiting_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
};

// Runs the rest of a test on the real clock, as the terminal does, so that an app-modal alert
// waits for the lines typed under it instead of giving up; the test's virtual clock comes back
// when the result goes.
[[nodiscard]] inline std::shared_ptr<void> onTheRealClock(platform::testing::TestEnvironment& env) {
    platform::installClock(std::make_shared<platform::RealClock>());
    return std::shared_ptr<void>(nullptr, [&env](void*) {
        platform::installClock(
            std::shared_ptr<platform::VirtualClock>(&env.clock(), [](platform::VirtualClock*) {}));
    });
}

// How many times `text` holds `part`.
inline std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Script lines that make the next launch run the hotkey method, the first launch's switch to
// the event taps marked done.
inline const std::string kHotkeyMethod =
    "defaults write QV_App_runOnce__switchToNewMethod32425 true\ndefaults write newMethod false\n";

// Settings' alert after the menu-bar icon is switched off, as the console quotes it.
inline const std::string kHideIconAlert =
    "\"If you need to access the menu bar icon, launch the app to reveal it for 5 seconds.\"";

} // namespace zestrel::console
