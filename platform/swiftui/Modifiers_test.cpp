#include "platform/appkit/NSSavePanel.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/swiftui/ViewState.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zestrel::platform::swiftui {
namespace {

// A button that asks to export a note; what the export reported is logged.
struct NoteExporter {
    std::optional<std::string> note;
    std::shared_ptr<std::vector<FileExportResult>> results;
    View body(ViewContext& context) const {
        const State<bool> exporting = context.state<bool>("exporting", false);
        return Button("Export", [exporting] { exporting.set(true); })
            .fileExporter(exporting.binding(), note, {"public.plain-text"}, "Note.txt",
                          [results = results](const FileExportResult& result) {
                              results->push_back(result);
                          });
    }
};

class FileExporterTest : public ::testing::Test {
protected:
    std::shared_ptr<ViewHost> exportHost(std::optional<std::string> note) {
        return ViewHost::make(NoteExporter{std::move(note), results});
    }
    URL place(const std::string& name) const {
        return URL::fileURL((environment.home() / name).string());
    }
    static std::string contents(const URL& url) {
        std::ostringstream text;
        text << std::ifstream(url.path()).rdbuf();
        return text.str();
    }

    testing::TestEnvironment environment;
    std::shared_ptr<std::vector<FileExportResult>> results =
        std::make_shared<std::vector<FileExportResult>>();
};

TEST_F(FileExporterTest, SavingWritesTheDocumentOnceAndReportsTheFile) {
    auto host = exportHost("remember the milk");
    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("Saved.txt")));
    ASSERT_TRUE(host->click("Export"));
    host->update();
    host->update();

    const auto panels = NSSavePanel::shownPanels();
    ASSERT_EQ(panels.size(), 1u);
    EXPECT_EQ(panels[0].nameFieldStringValue, "Note.txt");
    EXPECT_EQ(panels[0].allowedContentTypes, std::vector<std::string>{"public.plain-text"});
    EXPECT_EQ(contents(place("Saved.txt")), "remember the milk");
    ASSERT_EQ(results->size(), 1u);
    EXPECT_EQ(std::get<URL>(results->front()), place("Saved.txt"));

    // The presentation has ended: another press shows the panel again.
    NSSavePanel::enqueueAnswer(SavePanelAnswer::cancel());
    ASSERT_TRUE(host->click("Export"));
    host->update();
    EXPECT_EQ(NSSavePanel::shownPanels().size(), 2u);
}

TEST_F(FileExporterTest, CancellingReportsNothingAndAFailedWriteReportsAnError) {
    auto host = exportHost("draft");
    NSSavePanel::enqueueAnswer(SavePanelAnswer::cancel());
    ASSERT_TRUE(host->click("Export"));
    host->update();
    EXPECT_TRUE(results->empty());

    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("missing-folder/Saved.txt")));
    ASSERT_TRUE(host->click("Export"));
    host->update();
    ASSERT_EQ(results->size(), 1u);
    const auto* error = std::get_if<Error>(&results->front());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error->code(), 512);
}

TEST_F(FileExporterTest, NothingToExportIsAFailureNotAnEmptyFile) {
    auto host = exportHost(std::nullopt);
    NSSavePanel::enqueueAnswer(SavePanelAnswer::save(place("Empty.txt")));
    ASSERT_TRUE(host->click("Export"));
    host->update();
    ASSERT_EQ(results->size(), 1u);
    EXPECT_TRUE(std::holds_alternative<Error>(results->front()));
    EXPECT_FALSE(std::filesystem::exists(place("Empty.txt").path()));
}

TEST_F(FileExporterTest, ThePanelStartsWhereTheViewsAroundItSayAndCarriesTheirIdentifier) {
    const URL folder = URL::fileURL(environment.home().string(), true);
    auto host = ViewHost::make(View(NoteExporter{"note", results})
                                   .fileDialogCustomizationID("notes")
                                   .fileDialogDefaultDirectory(folder));
    ASSERT_TRUE(host->click("Export"));
    host->update();
    auto plain = exportHost("note");
    ASSERT_TRUE(plain->click("Export"));
    plain->update();

    const auto panels = NSSavePanel::shownPanels();
    ASSERT_EQ(panels.size(), 2u);
    EXPECT_EQ(panels[0].identifier, "notes");
    EXPECT_EQ(panels[0].directoryURL, folder);
    EXPECT_EQ(panels[1].identifier, "");
    EXPECT_EQ(panels[1].directoryURL, std::nullopt);
}

} // namespace
} // namespace zestrel::platform::swiftui
