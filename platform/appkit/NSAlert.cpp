#include "platform/appkit/NSAlert.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Records.h"
#include "platform/base/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace zestrel::platform {
namespace {

struct AlertBook {
    std::vector<std::weak_ptr<NSAlert>> showing;
    std::vector<NSAlert::Record> records;
};

AlertBook& book() {
    static auto* const local = new ProcessLocal<AlertBook>();
    return local->get();
}

// The alert's panel: the text outline shows it as the alert it is.
class AlertPanel final : public NSPanel {
public:
    using NSPanel::NSPanel;
    std::string className() const override { return "_NSAlertPanel"; }
    bool canBecomeKeyWindow() const override { return true; }
    // An alert ends through its buttons only: Escape reaches the one that answers it.
    void cancelOperation() override {}
};

constexpr CGFloat kMessageLineHeight = 17;
constexpr CGFloat kInformativeLineHeight = 14;
constexpr CGFloat kButtonHeight = 32;
constexpr CGFloat kCheckboxHeight = 18;
constexpr CGFloat kSpacing = 8;

CGFloat textHeight(const std::string& text, CGFloat lineHeight) {
    return lineHeight * static_cast<CGFloat>(1 + std::count(text.begin(), text.end(), '\n'));
}

std::shared_ptr<Timer> scheduleCommonTimer(Nanoseconds delay, std::function<void()> block) {
    auto timer = Timer::make(delay, false, [block = std::move(block)](Timer&) { block(); });
    RunLoop::main().add(timer, RunLoopMode::common);
    return timer;
}

} // namespace

NSAlert::~NSAlert() {
    for (const auto& timer : runTimers_) {
        timer->invalidate();
    }
}

std::shared_ptr<NSAlert> NSAlert::withError(const Error& error) {
    const auto nsError = error.nsError();
    auto alert = make();
    const std::string description = nsError->localizedDescription();
    alert->setMessageText(description);
    std::string informative;
    if (auto reason = nsError->localizedFailureReason();
        reason && !reason->empty() && description.find(*reason) == std::string::npos) {
        informative = *reason;
    }
    if (auto suggestion = nsError->localizedRecoverySuggestion();
        suggestion && !suggestion->empty()) {
        informative += informative.empty() ? *suggestion : "\n\n" + *suggestion;
    }
    alert->setInformativeText(informative);
    const auto options = nsError->localizedRecoveryOptions();
    if (options && !options->empty()) {
        for (const auto& title : *options) {
            alert->addButton(title);
        }
    } else {
        alert->addButton("OK");
    }
    return alert;
}

std::shared_ptr<NSButton> NSAlert::addButton(std::string title) {
    const auto response = NSAlertFirstButtonReturn + static_cast<NSModalResponse>(buttons_.size());
    std::weak_ptr<const NSObject> weak = weak_from_this();
    auto button = NSButton::withTitle(std::move(title), [weak, response](NSControl&) {
        if (auto alert =
                std::static_pointer_cast<NSAlert>(std::const_pointer_cast<NSObject>(weak.lock()))) {
            alert->buttonClicked(response);
        }
    });
    button->setTag(response);
    if (buttons_.empty()) {
        button->setKeyEquivalent("\r");
    } else if (button->title() == "Cancel") {
        button->setKeyEquivalent("\x1b");
    }
    buttons_.push_back(button);
    return button;
}

std::shared_ptr<NSButton> NSAlert::suppressionButton() {
    if (!suppressionButton_) {
        suppressionButton_ = NSButton::checkbox("Do not show this message again");
    }
    return suppressionButton_;
}

std::shared_ptr<NSPanel> NSAlert::window() {
    if (!panel_) {
        panel_ = std::make_shared<AlertPanel>(CGRect(0, 0, kStandardWidth, 120),
                                              NSWindow::StyleMask::titled,
                                              NSWindow::BackingStoreType::buffered, true);
        panel_->setReleasedWhenClosed(false);
        panel_->setLevel(NSWindow::Level::modalPanel);
    }
    return panel_;
}

void NSAlert::layout() {
    auto panel = window();
    if (buttons_.empty()) {
        // An alert always has a way out.
        addButton("OK");
    }
    const CGFloat accessoryWidth = accessoryView_ ? accessoryView_->frame().size.width : 0;
    const CGFloat width = std::max(kStandardWidth, accessoryWidth + 2 * kMargin);
    const CGFloat innerWidth = width - 2 * kMargin;

    // Views from the top down; frames get their y once the height is known.
    struct Placed {
        std::shared_ptr<NSView> view;
        CGFloat height;
    };
    std::vector<Placed> column;
    auto message = NSTextField::labelWithString(messageText_);
    message->setFont(NSFont::systemFont(13));
    column.push_back({message, textHeight(messageText_, kMessageLineHeight)});
    if (!informativeText_.empty()) {
        auto informative = NSTextField::labelWithString(informativeText_);
        informative->setFont(NSFont::systemFont(11));
        column.push_back({informative, textHeight(informativeText_, kInformativeLineHeight)});
    }
    if (accessoryView_) {
        auto container = std::make_shared<NSView>();
        container->addSubview(accessoryView_);
        column.push_back({container, accessoryView_->frame().size.height});
    }
    if (showsSuppressionButton_) {
        column.push_back({suppressionButton(), kCheckboxHeight});
    }
    for (const auto& button : buttons_) {
        column.push_back({button, kButtonHeight});
    }

    CGFloat height = kMargin;
    for (const auto& placed : column) {
        height += placed.height + kSpacing;
    }
    height += kMargin - kSpacing;

    auto content = std::make_shared<NSView>(CGRect(0, 0, width, height));
    CGFloat top = height - kMargin;
    for (const auto& placed : column) {
        top -= placed.height;
        placed.view->setFrame(CGRect(kMargin, top, innerWidth, placed.height));
        top -= kSpacing;
        content->addSubview(placed.view);
    }
    if (accessoryView_) {
        accessoryView_->setFrameOrigin(CGPoint{});
    }
    panel->setFrame(panel->frameRectForContentRect(CGRect(0, 0, width, height)));
    panel->center();
    // Last, so that views that act when they enter the window find the alert complete.
    panel->setContentView(content);
}

void NSAlert::beginRun(bool asSheet, bool unattendedLimit) {
    showing_ = true;
    unattended_ = false;
    const std::uint64_t run = ++run_;
    auto self = std::static_pointer_cast<NSAlert>(shared_from_this());
    auto& alerts = book();
    alerts.showing.push_back(self);
    Record record;
    record.messageText = messageText_;
    record.informativeText = informativeText_;
    record.style = style_;
    for (const auto& button : buttons_) {
        record.buttons.push_back(button->title());
    }
    record.showsSuppressionButton = showsSuppressionButton_;
    if (showsSuppressionButton_) {
        record.suppressionTitle = suppressionButton()->title();
    }
    record.asSheet = asSheet;
    recordIndex_ = alerts.records.size();
    alerts.records.push_back(std::move(record));

    std::weak_ptr<NSAlert> weak = self;
    const auto responder = ModalResponder::current();
    if (auto answer = responder ? responder->answer(*this) : std::nullopt) {
        auto respond = [weak, run, answer = *answer] {
            auto alert = weak.lock();
            if (alert && alert->showing_ && alert->run_ == run) {
                alert->respond(answer);
            }
        };
        if (presented_ && answer->after == Nanoseconds{0}) {
            // No modal run moves the clock on for it: an answer at once is one at once.
            RunLoop::main().async(std::move(respond));
        } else {
            runTimers_.push_back(scheduleCommonTimer(answer->after, std::move(respond)));
        }
    }
    if (unattendedLimit && virtualClock()) {
        runTimers_.push_back(scheduleCommonTimer(kUnattendedLimit, [weak, run] {
            if (auto alert = weak.lock()) {
                alert->giveUp(run);
            }
        }));
    }
}

void NSAlert::giveUp(std::uint64_t run) {
    if (!showing_ || run_ != run) {
        return;
    }
    if (auto parent = panel_ ? panel_->sheetParent() : nullptr) {
        unattended_ = true;
        parent->endSheet(panel_, NSModalResponseAbort);
    } else if (NSApp().modalWindow() == panel_) {
        unattended_ = true;
        NSApp().abortModal();
    } else {
        // Another modal run sits on top of this one; it has to end first.
        std::weak_ptr<NSAlert> weak = std::static_pointer_cast<NSAlert>(shared_from_this());
        runTimers_.push_back(scheduleCommonTimer(kUnattendedLimit, [weak, run] {
            if (auto alert = weak.lock()) {
                alert->giveUp(run);
            }
        }));
    }
}

void NSAlert::finishRun(NSModalResponse response) {
    if (!showing_) {
        return;
    }
    showing_ = false;
    for (const auto& timer : runTimers_) {
        timer->invalidate();
    }
    runTimers_.clear();
    auto& alerts = book();
    std::erase_if(alerts.showing, [this](const std::weak_ptr<NSAlert>& entry) {
        auto alert = entry.lock();
        return !alert || alert.get() == this;
    });
    if (recordIndex_ < alerts.records.size()) {
        Record& record = alerts.records[recordIndex_];
        // A run that ends because its process did was answered by nobody.
        if (!ProcessTeardown::hasEnded()) {
            record.response = response;
        }
        record.unattended = unattended_;
        if (showsSuppressionButton_) {
            record.suppressed = suppressionButton()->state() == NSControlStateValue::on;
        }
    }
}

void NSAlert::buttonClicked(NSModalResponse response) {
    if (showing_ && presented_) {
        auto self = shared_from_this();
        const auto completion = std::exchange(presentedCompletion_, nullptr);
        dismiss(response);
        if (completion) {
            completion(response);
        }
        return;
    }
    if (!showing_ || !panel_) {
        return;
    }
    if (auto parent = panel_->sheetParent()) {
        parent->endSheet(panel_, response);
    } else if (NSApp().modalWindow() == panel_) {
        NSApp().stopModal(response);
    }
}

NSModalResponse NSAlert::runModal() {
    auto self = std::static_pointer_cast<NSAlert>(shared_from_this());
    layout();
    auto panel = window();
    beginRun(false);
    NSModalResponse response = NSModalResponseAbort;
    // Also when the end of its process stops the run: the alert goes, answered by nobody.
    const std::shared_ptr<void> closing(nullptr, [&](void*) {
        panel->orderOut();
        finishRun(response);
    });
    response = NSApp().runModal(panel);
    return response;
}

void NSAlert::beginSheetModal(const std::shared_ptr<NSWindow>& window,
                              std::function<void(NSModalResponse)> completion) {
    if (!window) {
        const NSModalResponse response = runModal();
        if (completion) {
            completion(response);
        }
        return;
    }
    layout();
    auto panel = this->window();
    beginRun(true);
    std::weak_ptr<NSAlert> weak = std::static_pointer_cast<NSAlert>(shared_from_this());
    window->beginSheet(panel, [weak, completion = std::move(completion)](NSModalResponse code) {
        if (auto alert = weak.lock()) {
            alert->finishRun(code);
        }
        if (completion) {
            completion(code);
        }
    });
}

void NSAlert::present(std::function<void(NSModalResponse)> completion) {
    if (showing_) {
        return;
    }
    if (buttons_.empty()) {
        addButton("OK");
    }
    presented_ = true;
    presentedCompletion_ = std::move(completion);
    beginRun(true, false);
}

void NSAlert::dismiss(NSModalResponse response) {
    if (!showing_ || !presented_) {
        return;
    }
    presented_ = false;
    presentedCompletion_ = nullptr;
    finishRun(response);
}

bool NSAlert::respond(const ModalAnswer& answer) {
    if (!showing_) {
        return false;
    }
    auto self = shared_from_this();
    if (answer.suppression && showsSuppressionButton_) {
        suppressionButton()->setState(*answer.suppression ? NSControlStateValue::on
                                                          : NSControlStateValue::off);
    }
    std::shared_ptr<NSButton> target;
    if (const auto* index = std::get_if<std::size_t>(&answer.choice)) {
        if (*index < buttons_.size()) {
            target = buttons_[*index];
        }
    } else if (const auto* title = std::get_if<std::string>(&answer.choice)) {
        for (const auto& button : buttons_) {
            if (button->title() == *title) {
                target = button;
                break;
            }
        }
    } else {
        const char* key = std::get<AlertKey>(answer.choice) == AlertKey::returnKey ? "\r" : "\x1b";
        for (const auto& button : buttons_) {
            if (button->keyEquivalent() == key) {
                target = button;
                break;
            }
        }
    }
    if (!target) {
        return false;
    }
    // A person's answer: what the button does runs as the app's code.
    ProcessTeardown::callIn([&] { target->performClick(); });
    return true;
}

std::vector<std::shared_ptr<NSAlert>> NSAlert::showingAlerts() {
    std::vector<std::shared_ptr<NSAlert>> result;
    for (const auto& entry : book().showing) {
        if (auto alert = entry.lock()) {
            result.push_back(alert);
        }
    }
    return result;
}

std::vector<NSAlert::Record> NSAlert::shownAlerts() {
    return book().records;
}

std::size_t NSAlert::shownAlertCount() {
    return book().records.size();
}

std::optional<NSAlert::Record> NSAlert::shownAlert(std::size_t index) {
    return recordAt(book().records, index);
}

} // namespace zestrel::platform
