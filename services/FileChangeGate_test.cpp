#include "platform/data/FileChangeGate.h"

#include "foundation/FileOperations.h"
#include "platform/appkit/NSSavePanel.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/UserDirectories.h"
#include "platform/data/XAttr.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/system/SMAppService.h"
#include "platform/testing/FileContents.h"
#include "platform/testing/TestEnvironment.h"
#include "services/TemporaryFileTracker.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <sys/xattr.h>
#include <variant>
#include <vector>

namespace zestrel {
namespace {

namespace fs = std::filesystem;
using platform::Error;
using platform::URL;

// What a caller meets: "DOMAIN CODE", with "(POSIX N)" for the error underneath.
std::string met(const Error& error) {
    std::string text = error.domain() + " " + std::to_string(error.code());
    if (const auto underlying = error.nsError()->underlyingError()) {
        text += " (POSIX " + std::to_string(underlying->code()) + ")";
    }
    return text;
}

std::string refusedWith(const std::string& domain, std::int64_t code) {
    return domain + " " + std::to_string(code) + " (POSIX " + std::to_string(EPERM) + ")";
}

// Every item below `root`: a folder as "/", a file by its bytes, each with the names of its
// extended attributes.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> items;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::string item = entry.is_directory() ? "/" : platform::testing::contentsOf(entry.path());
        std::vector<char> names(4096);
        const ssize_t size = ::llistxattr(entry.path().c_str(), names.data(), names.size());
        for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(&names[at])) + 1) {
            item += std::string(" +") + &names[at];
        }
        items.emplace(fs::relative(entry.path(), root).string(), std::move(item));
    }
    return items;
}

// A button that exports a note where the save panel is told to, and what the export met.
struct NoteExporter {
    std::shared_ptr<std::string> reported;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const {
        const auto exporting = context.state<bool>("exporting", false);
        return platform::swiftui::Button("Export", [exporting] { exporting.set(true); })
            .fileExporter(exporting.binding(), "note", {"public.plain-text"}, "Note.txt",
                          [reported = reported](const platform::swiftui::FileExportResult& result) {
                              *reported = std::holds_alternative<Error>(result)
                                              ? met(std::get<Error>(result))
                                              : "no error";
                          });
    }
};

class FileChangeGateTest;

// One way the app's process changes files, each through the gate: what the live process
// readies for it, the change asked once the process has ended, and what the asker meets.
struct GateEntry {
    std::string name;
    std::function<void(FileChangeGateTest&)> ready;
    std::function<std::string(FileChangeGateTest&)> ask;
    std::string refusal;
};

void PrintTo(const GateEntry& entry, std::ostream* out) {
    *out << entry.name;
}

class FileChangeGateTest : public ::testing::TestWithParam<GateEntry> {
public:
    fs::path home() const { return env.home(); }
    URL file(const std::string& name) const { return URL::fileURL((home() / name).string()); }
    URL makeFile(const std::string& name) const {
        std::ofstream(home() / name) << name;
        return file(name);
    }

    platform::testing::TestEnvironment env;
    std::shared_ptr<platform::swiftui::ViewHost> host;
    std::shared_ptr<std::string> exported = std::make_shared<std::string>("not reported");
};

platform::NSFileManager& files() {
    return platform::NSFileManager::defaultManager();
}

// What the caller of a change that throws its failures meets.
std::string asking(const std::function<void()>& change) {
    try {
        change();
        return "no error";
    } catch (const Error& error) {
        return met(error);
    }
}

const std::vector<GateEntry> kEntries = {
    {"Removal", [](auto& test) { test.makeFile("doomed"); },
     [](auto& test) { return asking([&] { files().removeItemAtURL(test.file("doomed")); }); },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteNoPermissionError)},
    {"Trash", [](auto& test) { test.makeFile("doomed"); },
     [](auto& test) { return asking([&] { files().trashItemAtURL(test.file("doomed")); }); },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteNoPermissionError)},
    {"UserFolder", [](auto&) {},
     [](auto&) {
         return asking([] {
             files().URLForDirectory(platform::NSSearchPathDirectory::documentDirectory,
                                     platform::NSSearchPathDomainMask::userDomainMask, std::nullopt,
                                     true);
         });
     },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteNoPermissionError)},
    {"ItemReplacementFolder", [](auto&) {},
     [](auto& test) {
         return asking([&] {
             files().URLForDirectory(platform::NSSearchPathDirectory::itemReplacementDirectory,
                                     platform::NSSearchPathDomainMask::userDomainMask,
                                     test.file("doomed"), true);
         });
     },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteNoPermissionError)},
    // The app's temporary folder is found, not made: no error, and no folder either.
    {"TemporaryFolder", [](auto&) { fs::remove_all(platform::temporaryDirectory()); },
     [](auto&) { return asking([] { files().temporaryDirectory(); }); }, "no error"},
    {"ExtendedAttribute", [](auto& test) { test.makeFile("tagged"); },
     [](auto& test) {
         const int result = platform::setxattr(test.file("tagged").path().c_str(),
                                               "com.example.tag", "red", 3, 0, 0);
         return result == 0 ? "no error" : "errno " + std::to_string(errno);
     },
     "errno " + std::to_string(EPERM)},
    {"LoginItemRegistration", [](auto&) {},
     [](auto&) {
         return asking([] { platform::SMAppService::mainAppService().registerAndReturnError(); });
     },
     refusedWith(platform::SMAppServiceErrorDomain, platform::kSMErrorInternalFailure)},
    {"LoginItemRemoval",
     [](auto&) { platform::SMAppService::mainAppService().registerAndReturnError(); },
     [](auto&) {
         return asking([] { platform::SMAppService::mainAppService().unregisterAndReturnError(); });
     },
     refusedWith(platform::SMAppServiceErrorDomain, platform::kSMErrorInternalFailure)},
    {"TemporaryFileWrite", [](auto& test) { test.makeFile("written"); },
     [](auto& test) { return asking([&] { writeFileContents(test.file("written"), "new"); }); },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteUnknownError)},
    {"FolderMaking", [](auto&) {},
     [](auto& test) { return asking([&] { createDirectory(test.file("made/deeper"), true); }); },
     refusedWith(platform::NSCocoaErrorDomain, platform::NSFileWriteNoPermissionError)},
    // The exporter reports the write it could not make, as it does any other.
    {"Export",
     [](auto& test) {
         test.host = platform::swiftui::ViewHost::make(NoteExporter{test.exported});
         platform::NSSavePanel::enqueueAnswer(
             platform::SavePanelAnswer::save(test.file("Exported.txt")));
     },
     [](auto& test) {
         test.host->click("Export");
         test.host->update();
         return *test.exported;
     },
     platform::NSCocoaErrorDomain + std::string(" ") +
         std::to_string(platform::NSFileWriteUnknownError)},
};

// Every way the app's process makes, changes or removes a file is refused once the process
// has ended, and the files stay as they were.
TEST_P(FileChangeGateTest, AnEndedProcessIsRefusedTheChangeAndNothingChanges) {
    GetParam().ready(*this);
    const fs::path everything = home().parent_path(); // the home and the temporary folder
    const auto before = snapshot(everything);
    std::string refusal;
    platform::RunLoop::main().async([&] {
        platform::ProcessTeardown::run();
        refusal = GetParam().ask(*this);
    });
    env.runUntilIdle();
    EXPECT_EQ(refusal, GetParam().refusal);
    EXPECT_EQ(snapshot(everything), before);
}

INSTANTIATE_TEST_SUITE_P(EveryEntry, FileChangeGateTest, ::testing::ValuesIn(kEntries),
                         [](const auto& entry) { return entry.param.name; });

} // namespace
} // namespace zestrel
