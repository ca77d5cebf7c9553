#include "platform/appkit/NSView.h"

#include "platform/base/Mutex.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {
namespace {

struct HookSlot {
    Mutex mutex;
    NSTextView::KeyEquivalentHook hook GUARDED_BY(mutex);
};

HookSlot& hookSlot() {
    static auto* const slot = new HookSlot; // used until the very end
    return *slot;
}

} // namespace

void NSTextView::setKeyEquivalentHook(KeyEquivalentHook hook) {
    auto& slot = hookSlot();
    MutexLock lock(slot.mutex);
    slot.hook = std::move(hook);
}

bool NSTextView::performKeyEquivalent(const NSEvent& event) {
    KeyEquivalentHook hook;
    {
        auto& slot = hookSlot();
        MutexLock lock(slot.mutex);
        hook = slot.hook;
    }
    if (hook) {
        if (auto answer = hook(*this, event)) {
            return *answer;
        }
    }
    return NSView::performKeyEquivalent(event);
}

NSTextView::Range NSTextView::clamped(Range range) const {
    const std::size_t location = std::min(range.location, string_.size());
    return Range{location, std::min(range.length, string_.size() - location)};
}

void NSTextView::setSelectedRange(Range range) {
    selection_ = clamped(range);
}

void NSTextView::replaceSelection(const std::string& text) {
    const Range range = clamped(selection_);
    if (allowsUndo_) {
        undoStack_.push_back(string_);
        redoStack_.clear();
    }
    string_.replace(range.location, range.length, text);
    selection_ = Range{range.location + text.size(), 0};
}

void NSTextView::keyDown(const NSEvent& event) {
    constexpr std::uint16_t kTab = 48;
    constexpr std::uint16_t kReturn = 36;
    const auto flags = event.eventModifierFlags();
    if (flags.contains(NSEvent::ModifierFlags::command) ||
        flags.contains(NSEvent::ModifierFlags::control)) {
        NSView::keyDown(event);
        return;
    }
    if (event.keyCode() == kTab) {
        doCommandBySelector(flags.contains(NSEvent::ModifierFlags::shift) ? "insertBacktab:"
                                                                          : "insertTab:");
    } else if (event.keyCode() == kReturn) {
        doCommandBySelector("insertNewline:");
    } else if (auto characters = event.characters(); characters && !characters->empty()) {
        insertText(*characters);
    }
}

void NSTextView::insertText(const std::string& text) {
    if (!editable_) {
        return;
    }
    replaceSelection(text);
    if (auto delegate = delegate_.lock()) {
        delegate->textDidChange(
            Notification{NSTextDidChangeNotification, Value(shared_from_this()), {}});
    }
}

void NSTextView::doCommandBySelector(const std::string& selector) {
    if (auto delegate = delegate_.lock();
        delegate && delegate->doCommandBySelector(*this, selector)) {
        return;
    }
    if (selector == "insertTab:") {
        insertText("\t");
    } else if (selector == "insertNewline:") {
        insertText("\n");
    }
}

bool NSTextView::respondsToAction(std::string_view action) const {
    if (action == "copy:" || action == "selectAll:") {
        return true;
    }
    if (action == "cut:" || action == "paste:") {
        return editable_;
    }
    if (action == "undo:") {
        return allowsUndo_ && !undoStack_.empty();
    }
    if (action == "redo:") {
        return allowsUndo_ && !redoStack_.empty();
    }
    return false;
}

void NSTextView::performAction(std::string_view action,
                               const std::shared_ptr<NSObject>& /*sender*/) {
    const Range range = clamped(selection_);
    if (action == "selectAll:") {
        selection_ = Range{0, string_.size()};
    } else if (action == "copy:" || action == "cut:") {
        if (range.length == 0) {
            return;
        }
        auto pasteboard = NSPasteboard::general();
        pasteboard->clearContents();
        pasteboard->setString(string_.substr(range.location, range.length),
                              NSPasteboardType::string);
        if (action == "cut:" && editable_) {
            replaceSelection("");
        }
    } else if (action == "paste:") {
        if (auto text = NSPasteboard::general()->stringForType(NSPasteboardType::string)) {
            insertText(*text);
        }
    } else if (action == "undo:" && !undoStack_.empty()) {
        redoStack_.push_back(std::exchange(string_, undoStack_.back()));
        undoStack_.pop_back();
        selection_ = Range{string_.size(), 0};
    } else if (action == "redo:" && !redoStack_.empty()) {
        undoStack_.push_back(std::exchange(string_, redoStack_.back()));
        redoStack_.pop_back();
        selection_ = Range{string_.size(), 0};
    }
}

} // namespace zestrel::platform
