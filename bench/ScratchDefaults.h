#pragma once

// Benchmarks must not touch the user's own preferences: the defaults database of a run
// lives in a scratch folder, removed when the run ends.
#include "platform/data/UserDefaults.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

namespace zestrel::bench {

inline std::shared_ptr<platform::UserDefaults> scratchDefaults() {
    struct Scratch {
        Scratch()
            : folder(std::filesystem::temp_directory_path() /
                     ("zestrel-bench-" + std::to_string(::getpid()))) {
            std::filesystem::create_directories(folder);
            ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
            defaults = platform::UserDefaults::standard();
        }
        ~Scratch() {
            platform::UserDefaults::flushAll();
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
        std::filesystem::path folder;
        std::shared_ptr<platform::UserDefaults> defaults;
    };
    static Scratch scratch;
    return scratch.defaults;
}

} // namespace zestrel::bench
