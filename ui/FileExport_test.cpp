#include "ui/FileExport.h"

#include "platform/appkit/NSSavePanel.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zestrel {
namespace {

using platform::NSSavePanel;
using platform::SavePanelAnswer;
using platform::URL;
namespace swiftui = platform::swiftui;

// A report that can be exported; the item is shared with the test so it can be watched.
struct ReportScreen {
    std::shared_ptr<std::optional<std::string>> item;
    bool showErrors = true;
    swiftui::View body(swiftui::ViewContext& context) const {
        const auto version = context.state<int>("version", 0);
        const swiftui::Binding<std::optional<std::string>> binding(
            [item = item] { return *item; },
            [item = item, version](const std::optional<std::string>& value) {
                *item = value;
                version.set(version.get() + 1);
            });
        swiftui::View button =
            swiftui::Button("Export", [binding] { binding.set(std::string("total: 42")); });
        if (showErrors) {
            return fileExporterShowingErrors(button, binding, {"public.plain-text"}, "Report.txt");
        }
        return fileExporter(button, binding, {"public.plain-text"}, "Report.txt");
    }
};

class FileExportTest : public ::testing::Test {
protected:
    URL place(const std::string& name) const { return URL::fileURL((env.home() / name).string()); }

    platform::testing::TestEnvironment env;
    std::shared_ptr<std::optional<std::string>> item =
        std::make_shared<std::optional<std::string>>();
};

TEST_F(FileExportTest, AnItemPresentsTheExporterAndItsEndClearsTheItem) {
    auto host = swiftui::ViewHost::make(ReportScreen{item, false});
    EXPECT_TRUE(NSSavePanel::shownPanels().empty()) << "no item, no panel";

    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("Report.txt")));
    ASSERT_TRUE(host->click("Export"));
    env.runUntilIdle();
    ASSERT_EQ(NSSavePanel::shownPanels().size(), 1u);
    EXPECT_EQ(NSSavePanel::shownPanels()[0].nameFieldStringValue, "Report.txt");
    EXPECT_FALSE(item->has_value());
    std::ostringstream written;
    written << std::ifstream(place("Report.txt").path()).rdbuf();
    EXPECT_EQ(written.str(), "total: 42");

    // Cancelling also ends the presentation.
    NSSavePanel::enqueueAnswer(SavePanelAnswer::cancel());
    ASSERT_TRUE(host->click("Export"));
    env.runUntilIdle();
    EXPECT_EQ(NSSavePanel::shownPanels().size(), 2u);
    EXPECT_FALSE(item->has_value());
}

TEST_F(FileExportTest, AFailedWriteStaysAsAnAlertUntilDismissed) {
    auto host = swiftui::ViewHost::make(ReportScreen{item, true});
    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("no-such-folder/Report.txt")));
    ASSERT_TRUE(host->click("Export"));
    env.runUntilIdle();
    // The alert's title is what went wrong.
    const auto expected = platform::NSError::make(platform::NSCocoaErrorDomain, 512);
    EXPECT_NE(host->outline().find("alert \"" + expected.localizedDescription()), std::string::npos)
        << host->outline();
    EXPECT_FALSE(item->has_value());

    ASSERT_TRUE(host->click("OK"));
    env.runUntilIdle();
    EXPECT_EQ(host->outline().find("alert"), std::string::npos);

    // A successful export shows no alert.
    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("Report.txt")));
    ASSERT_TRUE(host->click("Export"));
    env.runUntilIdle();
    EXPECT_EQ(host->outline().find("alert"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(place("Report.txt").path()));
}

} // namespace
} // namespace zestrel
