#pragma once

#include "platform/appkit/NSWindow.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// What the user does at one showing of a save panel: name a place to save to, or cancel.
struct SavePanelAnswer {
    std::optional<URL> url;

    static SavePanelAnswer save(URL url) { return {std::move(url)}; }
    static SavePanelAnswer cancel() { return {}; }
};

// The save panel, run modally. Nobody sits at the screen: the user's answers are scripted
// (`enqueueAnswer`), one used per showing; with no answer left the panel is cancelled. Every
// panel shown is recorded in the order shown. Main thread only.
class NSSavePanel final : public NSObject {
public:
    struct Record {
        std::string title;
        std::string prompt;
        std::string nameFieldStringValue;
        std::vector<std::string> allowedContentTypes;
        std::optional<URL> directoryURL;
        std::optional<URL> url;
        NSModalResponse response = NSModalResponseCancel;
        std::string identifier;
    };

    static std::shared_ptr<NSSavePanel> savePanel();
    std::string className() const override { return "NSSavePanel"; }

    std::string title;
    std::string prompt = "Save";
    // The file name the panel offers.
    std::string nameFieldStringValue;
    // Uniform type identifiers ("public.plain-text"); empty allows any.
    std::vector<std::string> allowedContentTypes;
    std::optional<URL> directoryURL;
    bool canCreateDirectories = true;
    // Names the panel, so that the system keeps its own state (size, last folder) per use.
    std::string identifier;

    // NSModalResponseOK with the chosen place in `url()`, or NSModalResponseCancel.
    NSModalResponse runModal();
    const std::optional<URL>& url() const { return url_; }

    static void enqueueAnswer(SavePanelAnswer answer);
    static std::size_t pendingAnswers();
    static std::vector<Record> shownPanels();

private:
    std::optional<URL> url_;
};

} // namespace zestrel::platform
