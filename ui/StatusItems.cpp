#include "ui/StatusItems.h"

#include "foundation/MainQueue.h"
#include "foundation/Once.h"
#include "foundation/QVApp.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSPointerArray.h"
#include "platform/base/AssociatedObjects.h"
#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/AsyncStream.h"
#include "platform/concurrency/Continuation.h"
#include "ui/Tooltip.h"
#include "ui/ViewUtilities.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace zestrel {

using platform::NSStatusBarButton;
using platform::NSStatusItem;

namespace {

// The private property's name, kept reversed so that it does not stand out as a string.
constexpr std::string_view kReversedItemsKey = "smetIsutats_";

class ActionTrampoline final : public platform::NSObject {
public:
    using Closure = std::function<void(const platform::NSEvent&)>;
    explicit ActionTrampoline(Closure closure) : closure_(std::move(closure)) {}
    std::string className() const override { return "Zestrel.ActionTrampoline"; }
    void handleAction() {
        auto event = platform::NSApplication::shared().currentEvent();
        if (!event) {
            event = mouseEvent(platform::NSEvent::EventType::leftMouseDown);
        }
        auto closure = closure_;
        closure(*event);
    }

private:
    Closure closure_;
};

const char kTrampolineKey = 0;

} // namespace

std::vector<std::shared_ptr<NSStatusItem>> statusItemsFromList(const platform::Value& list) {
    auto pointers = list.asObject<platform::NSPointerArray>();
    if (!pointers) {
        return {};
    }
    std::vector<std::shared_ptr<NSStatusItem>> items;
    for (const auto& object : pointers->allObjects()) {
        auto item = std::dynamic_pointer_cast<NSStatusItem>(object);
        if (!item) {
            return {};
        }
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<std::shared_ptr<NSStatusItem>> statusItems(const platform::NSStatusBar& statusBar) {
    if (QVApp::isSafeLaunch()) {
        return {};
    }
    const std::string key(kReversedItemsKey.rbegin(), kReversedItemsKey.rend());
    return statusItemsFromList(statusBar.valueForKey(key));
}

platform::Task<void> waitUntilVisible(std::shared_ptr<NSStatusItem> item) {
    auto made = platform::AsyncStream<bool>::makeStream();
    auto stream = std::move(made.first);
    const auto continuation = made.second; // a named variable: clang cannot capture bindings
    const auto token = item->addObserver(
        "isVisible",
        platform::NSKeyValueObservingOptionInitial | platform::NSKeyValueObservingOptionNew,
        [continuation](const platform::KeyValueNotification& note) {
            const auto found = note.change.find(platform::NSKeyValueChangeNewKey);
            if (found != note.change.end()) {
                continuation.yield(found->second.asBool().value_or(false));
            }
        });
    while (auto visible = co_await stream.next()) {
        if (*visible) {
            break;
        }
    }
    item->removeObserver(token);
}

std::shared_ptr<platform::NSEvent> mouseEvent(platform::NSEvent::EventType type) {
    const auto uptime = std::chrono::duration<double>(platform::clock().uptime()).count();
    return platform::NSEvent::mouseEvent(type, platform::NSEvent::modifierFlags(),
                                         {platform::CGPoint{0, 0}, uptime, 0, 0, 1, 1.0F});
}

void setActionClosure(platform::NSGestureRecognizer& recognizer,
                      std::function<void(const platform::NSEvent& event)> closure) {
    auto trampoline = std::make_shared<ActionTrampoline>(std::move(closure));
    recognizer.setTarget(trampoline);
    recognizer.setAction([](platform::NSObject& target, platform::NSGestureRecognizer&) {
        static_cast<ActionTrampoline&>(target).handleAction();
    });
    platform::objc_setAssociatedObject(recognizer, &kTrampolineKey, trampoline,
                                       platform::OBJC_ASSOCIATION_RETAIN);
}

void showWelcomePopover(const std::shared_ptr<NSStatusBarButton>& button,
                        std::function<void()> completion) {
    auto recognizer = std::make_shared<platform::NSClickGestureRecognizer>();
    auto timerBox = std::make_shared<std::shared_ptr<platform::Timer>>();
    // Whichever ending comes first runs the completion; the later ones find it spent.
    auto once = std::make_shared<Once>();
    auto finish = [once, completion = std::move(completion)] {
        once->run([&] {
            if (completion) {
                completion();
            }
        });
    };
    std::weak_ptr<NSStatusBarButton> weakButton = button;

    Tooltip::Options options;
    options.identifier = "statusBarButtonWelcomePopover";
    options.text = "Hello, I'm " + QVApp::name();
    options.showOnlyOnce = false;
    options.closeOnClick = true;
    options.maxWidth = 1000;
    options.font = platform::NSFont::systemFont(24);
    options.contentInsets = {20, 26, 20, 26};
    options.onClick = [weakButton, recognizer, timerBox, finish] {
        if (auto button = weakButton.lock()) {
            button->removeGestureRecognizer(recognizer);
        }
        if (*timerBox) {
            (*timerBox)->invalidate();
        }
        platform::DispatchQueue::main().async(finish);
    };
    auto tooltip = Tooltip::make(std::move(options));
    tooltip->showEvenWhenMenuBarItemIsHidden = false;
    // A shown popover is kept alive by its window; the endings only need to close it if so.
    std::weak_ptr<Tooltip> weakTooltip = tooltip;

    std::weak_ptr<platform::NSClickGestureRecognizer> weakRecognizer = recognizer;
    setActionClosure(*recognizer,
                     [weakTooltip, weakButton, weakRecognizer, finish](const platform::NSEvent&) {
                         if (auto tooltip = weakTooltip.lock()) {
                             tooltip->close();
                         }
                         auto button = weakButton.lock();
                         if (!button) {
                             finish();
                             return;
                         }
                         if (auto recognizer = weakRecognizer.lock()) {
                             button->removeGestureRecognizer(recognizer);
                         }
                         // The item's own click (its menu or action) still happens, after the
                         // popover closed.
                         platform::DispatchQueue::main().async([weakButton, finish] {
                             if (auto button = weakButton.lock()) {
                                 button->performClick();
                             }
                             finish();
                         });
                     });
    button->addGestureRecognizer(recognizer);
    tooltip->show(button);
    shake(*button, Duration::milliseconds(300), ShakeDirection::vertical, 2);

    *timerBox = commonModesTimer(
        Duration::seconds(6), false,
        [weakButton, weakRecognizer, weakTooltip, finish](platform::Timer&) {
            // The ending runs as a main-actor task of its own, not inside the timer's callback.
            platform::Task<void>::runOnMain(
                [weakButton, weakRecognizer, weakTooltip, finish]() -> platform::Task<void> {
                    auto button = weakButton.lock();
                    auto recognizer = weakRecognizer.lock();
                    if (button && recognizer) {
                        button->removeGestureRecognizer(recognizer);
                    }
                    if (auto tooltip = weakTooltip.lock()) {
                        tooltip->close();
                    }
                    finish();
                    co_return;
                });
        });
}

platform::Task<void> showWelcomePopover(std::weak_ptr<NSStatusBarButton> button) {
    auto start = [button](platform::CheckedContinuation<void> continuation) {
        platform::DispatchQueue::main().async([button, continuation] {
            auto strong = button.lock();
            if (!strong) {
                continuation.resume();
                return;
            }
            showWelcomePopover(strong, [continuation] { continuation.resume(); });
        });
    };
    co_await platform::withCheckedContinuation<void>(std::move(start));
}

} // namespace zestrel
