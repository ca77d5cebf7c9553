#pragma once

#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSOpenPanel;

// What an open panel asks its delegate; both answer true unless overridden.
class NSOpenSavePanelDelegate {
public:
    virtual ~NSOpenSavePanelDelegate() = default;
    // `panel:shouldEnableURL:`: false greys the item out, so the user cannot choose it.
    virtual bool panelShouldEnableURL(const NSOpenPanel& /*panel*/, const URL& /*url*/) {
        return true;
    }
    // `panel:validateURL:error:`: false refuses the chosen item; the error, set through
    // `error` when the panel passed one, is what the panel shows the user.
    virtual bool panelValidateURL(const NSOpenPanel& /*panel*/, const URL& /*url*/,
                                  std::optional<Error>* /*error*/) {
        return true;
    }
};

// What the user does at one showing of the panel, or after a refusal: choose items, or
// cancel (no items).
struct OpenPanelAnswer {
    std::vector<URL> urls;

    static OpenPanelAnswer choose(std::vector<URL> urls) { return {std::move(urls)}; }
    static OpenPanelAnswer cancel() { return {}; }
};

// The open panel, run modally. Nobody sits at the screen: the user's answers are scripted
// (`enqueueAnswer`), one used per try. An item the panel would not let the user pick (of a
// kind it does not choose, or greyed out by the delegate) or one the delegate refuses uses
// up the try, and the next answer is tried; with no answer left the panel is cancelled.
// Every panel shown is recorded, with its tries, in the order shown. Main thread only.
class NSOpenPanel final : public NSObject {
public:
    // One try: what the user chose, and why the panel did not take it.
    struct Attempt {
        std::vector<URL> urls;
        // The item that could not be picked.
        std::optional<URL> disabledURL;
        // The delegate's refusal, as the panel showed it.
        std::optional<Error> error;
        bool refused() const { return disabledURL || error || urls.empty(); }
    };
    struct Record {
        std::string title;
        std::string message;
        std::string prompt;
        std::optional<URL> directoryURL;
        bool canChooseFiles = true;
        bool canChooseDirectories = false;
        std::vector<Attempt> attempts;
        NSModalResponse response = NSModalResponseCancel;
    };

    static std::shared_ptr<NSOpenPanel> openPanel();
    std::string className() const override { return "NSOpenPanel"; }

    std::string title;
    std::string message;
    std::string prompt = "Open";
    std::optional<URL> directoryURL;
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
    bool canCreateDirectories = false;

    // The panel does not keep its delegate alive.
    void setDelegate(const std::shared_ptr<NSOpenSavePanelDelegate>& delegate) {
        delegate_ = delegate;
    }
    std::shared_ptr<NSOpenSavePanelDelegate> delegate() const { return delegate_.lock(); }

    // NSModalResponseOK with the chosen items in `URLs()`, or NSModalResponseCancel.
    NSModalResponse runModal();
    const std::vector<URL>& URLs() const { return urls_; }
    // The first chosen item.
    std::optional<URL> url() const;

    static void enqueueAnswer(OpenPanelAnswer answer);
    static std::size_t pendingAnswers();
    static std::vector<Record> shownPanels();

private:
    Attempt attempt(std::vector<URL> urls);

    std::weak_ptr<NSOpenSavePanelDelegate> delegate_;
    std::vector<URL> urls_;
};

} // namespace zestrel::platform
