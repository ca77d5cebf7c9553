#include "platform/appkit/NSWindow.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSColor.h"
#include "platform/appkit/NSView.h"

#include <algorithm>
#include <utility>

namespace zestrel::platform {

NSWindow::NSWindow(CGRect contentRect, StyleMask styleMask, BackingStoreType /*backing*/,
                   bool /*defer*/)
    : styleMask_(styleMask), level_(Level::normal) {
    frame_ = frameRectForContentRect(contentRect);
}

NSWindow::~NSWindow() = default;

std::shared_ptr<NSWindow> NSWindow::self() {
    return std::static_pointer_cast<NSWindow>(shared_from_this());
}

void NSWindow::post(const char* name) {
    NotificationCenter::defaultCenter()->post(name, Value(self()));
}

std::shared_ptr<void> NSWindow::observeVisibility(VisibilityObserver observer) {
    auto token = std::make_shared<VisibilityObserver>(std::move(observer));
    std::erase_if(visibilityObservers_, [](const auto& entry) { return entry.expired(); });
    visibilityObservers_.push_back(token);
    return token;
}

void NSWindow::tellVisibilityObservers() {
    // An observer may add or drop observers, or change the window again.
    const auto observers = visibilityObservers_;
    const bool visible = visible_;
    for (const auto& entry : observers) {
        if (auto observer = entry.lock()) {
            (*observer)(visible);
        }
    }
}

CGRect NSWindow::frameRectForContentRect(const CGRect& contentRect) const {
    if (!styleMask_.contains(StyleMask::titled) ||
        styleMask_.contains(StyleMask::fullSizeContentView)) {
        return contentRect;
    }
    return CGRect(contentRect.origin.x, contentRect.origin.y, contentRect.size.width,
                  contentRect.size.height + kTitleBarHeight);
}

CGRect NSWindow::convertRectToScreen(const CGRect& rect) const {
    return CGRect(frame_.origin.x + rect.origin.x, frame_.origin.y + rect.origin.y, rect.size.width,
                  rect.size.height);
}

CGRect NSWindow::contentRectForFrameRect(const CGRect& frameRect) const {
    if (!styleMask_.contains(StyleMask::titled) ||
        styleMask_.contains(StyleMask::fullSizeContentView)) {
        return frameRect;
    }
    return CGRect(frameRect.origin.x, frameRect.origin.y, frameRect.size.width,
                  std::max(0.0, frameRect.size.height - kTitleBarHeight));
}

void NSWindow::setFrame(const CGRect& frame, bool /*display*/) {
    const CGRect old = frame_;
    frame_ = frame;
    if (contentView_) {
        const CGRect content = contentRectForFrameRect(frame);
        contentView_->setFrame(CGRect(CGPoint{}, content.size));
    }
    if (old.size != frame.size) {
        post(NSWindowDidResizeNotification);
        if (auto delegate = this->delegate()) {
            delegate->windowDidResize(
                Notification{NSWindowDidResizeNotification, Value(self()), {}});
        }
    }
    if (old.origin != frame.origin) {
        post(NSWindowDidMoveNotification);
    }
}

void NSWindow::setFrameOrigin(CGPoint origin) {
    setFrame(CGRect(origin, frame_.size));
}

CGRect NSWindow::constrainFrameRect(const CGRect& frame,
                                    const std::shared_ptr<NSScreen>& screen) const {
    if (!screen) {
        return frame;
    }
    CGRect constrained = frame;
    const CGRect& visible = screen->visibleFrame();
    const CGFloat top = visible.origin.y + visible.size.height;
    if (constrained.origin.y + constrained.size.height > top) {
        constrained.origin.y = top - constrained.size.height;
    }
    return constrained;
}

void NSWindow::center() {
    const auto screen = NSScreen::main();
    if (!screen) {
        return;
    }
    const CGRect& visible = screen->visibleFrame();
    setFrameOrigin(CGPoint{visible.origin.x + (visible.size.width - frame_.size.width) / 2,
                           visible.origin.y + (visible.size.height - frame_.size.height) / 2});
}

std::shared_ptr<NSScreen> NSWindow::screen() const {
    return visible_ ? NSScreen::main() : nullptr;
}

void NSWindow::setContentView(const std::shared_ptr<NSView>& view) {
    if (contentView_ == view) {
        return;
    }
    if (contentView_) {
        contentView_->setNextResponder(nullptr);
        contentView_->moveToWindow(nullptr);
    }
    contentView_ = view;
    if (view) {
        view->removeFromSuperview();
        view->setFrame(CGRect(CGPoint{}, contentRectForFrameRect(frame_).size));
        view->setNextResponder(self());
        NSApp().registerWindow(self());
        view->moveToWindow(self());
    }
}

bool NSWindow::canBecomeKeyWindow() const {
    return styleMask_.contains(StyleMask::titled);
}

bool NSWindow::canBecomeMainWindow() const {
    return styleMask_.contains(StyleMask::titled) && !isSheet();
}

void NSWindow::orderFront() {
    auto me = self();
    if (!visible_ && styleMask_.contains(StyleMask::titled)) {
        frame_ = constrainFrameRect(frame_, NSScreen::main());
    }
    const bool wasVisible = std::exchange(visible_, true);
    NSApp().windowDidAppear(me);
    if (!wasVisible) {
        tellVisibilityObservers();
    }
}

void NSWindow::makeKeyAndOrderFront() {
    orderFront();
    makeKeyWindow();
    if (canBecomeMainWindow()) {
        makeMainWindow();
    }
}

void NSWindow::makeKeyWindow() {
    if (key_ || !canBecomeKeyWindow()) {
        return;
    }
    auto me = self();
    if (NSApp().keepsKeyForActivation(*this)) {
        return;
    }
    NSApp().windowWillBecomeKey(*this);
    key_ = true;
    if (auto delegate = this->delegate()) {
        delegate->windowDidBecomeKey(Notification{NSWindowDidBecomeKeyNotification, Value(me), {}});
    }
    post(NSWindowDidBecomeKeyNotification);
}

void NSWindow::makeMainWindow() {
    if (main_ || !canBecomeMainWindow()) {
        return;
    }
    NSApp().windowWillBecomeMain(*this);
    main_ = true;
    post(NSWindowDidBecomeMainNotification);
}

void NSWindow::resignKey() {
    if (!key_) {
        return;
    }
    key_ = false;
    NSApp().windowDidResignKey(*this);
    if (auto delegate = this->delegate()) {
        delegate->windowDidResignKey(
            Notification{NSWindowDidResignKeyNotification, Value(self()), {}});
    }
    post(NSWindowDidResignKeyNotification);
}

void NSWindow::resignMain() {
    if (!main_) {
        return;
    }
    main_ = false;
    NSApp().windowDidResignMain(*this);
    post(NSWindowDidResignMainNotification);
}

void NSWindow::orderOut() {
    if (!visible_) {
        return;
    }
    auto me = self();
    const bool wasKey = key_;
    const bool wasMain = main_;
    resignKey();
    resignMain();
    visible_ = false;
    for (const auto& sheet : sheets()) {
        sheet->orderOut();
    }
    NSApp().windowDidDisappear(*this, wasKey, wasMain);
    tellVisibilityObservers();
}

void NSWindow::close() {
    auto me = self();
    if (auto delegate = this->delegate()) {
        delegate->windowWillClose(Notification{NSWindowWillCloseNotification, Value(me), {}});
    }
    post(NSWindowWillCloseNotification);
    orderOut();
    if (releasedWhenClosed_) {
        NSApp().windowDidClose(*this);
    }
}

void NSWindow::performClose() {
    if (!styleMask_.contains(StyleMask::closable)) {
        return;
    }
    auto me = self();
    if (auto delegate = this->delegate(); delegate && !delegate->windowShouldClose(*this)) {
        return;
    }
    close();
}

NSWindow::OcclusionState NSWindow::occlusionState() const {
    return visible_ && !occluded_ ? OcclusionState::visible : OcclusionState{};
}

void NSWindow::setOccluded(bool occluded) {
    const OcclusionState before = occlusionState();
    occluded_ = occluded;
    if (occlusionState() != before) {
        post(NSWindowDidChangeOcclusionStateNotification);
    }
}

void NSWindow::beginSheet(const std::shared_ptr<NSWindow>& sheet,
                          std::function<void(NSModalResponse)> completionHandler) {
    if (!sheet || sheet.get() == this || sheet->isSheet()) {
        return;
    }
    sheet->sheetParent_ = self();
    sheets_.push_back(Sheet{sheet, std::move(completionHandler)});
    // The sheet hangs from the top of its window, centred.
    sheet->frame_.origin =
        CGPoint{frame_.origin.x + (frame_.size.width - sheet->frame_.size.width) / 2,
                frame_.origin.y + frame_.size.height - sheet->frame_.size.height};
    sheet->orderFront();
    sheet->makeKeyWindow();
}

void NSWindow::endSheet(const std::shared_ptr<NSWindow>& sheet, NSModalResponse returnCode) {
    const auto found = std::find_if(sheets_.begin(), sheets_.end(),
                                    [&](const Sheet& entry) { return entry.window == sheet; });
    if (found == sheets_.end()) {
        return;
    }
    auto me = self();
    Sheet ended = std::move(*found);
    sheets_.erase(found);
    ended.window->sheetParent_.reset();
    ended.window->orderOut();
    if (ended.completion) {
        ended.completion(returnCode);
    }
}

std::shared_ptr<NSWindow> NSWindow::attachedSheet() const {
    return sheets_.empty() ? nullptr : sheets_.front().window;
}

std::vector<std::shared_ptr<NSWindow>> NSWindow::sheets() const {
    std::vector<std::shared_ptr<NSWindow>> result;
    for (const auto& sheet : sheets_) {
        result.push_back(sheet.window);
    }
    return result;
}

bool NSWindow::makeFirstResponder(const std::shared_ptr<NSResponder>& responder) {
    if (auto view = std::dynamic_pointer_cast<NSView>(responder)) {
        if (view->window().get() != this || !view->acceptsFirstResponder()) {
            return false;
        }
    }
    auto current = firstResponder();
    if (current == responder) {
        return true;
    }
    if (current && !current->resignFirstResponder()) {
        return false;
    }
    // Cleared first: a responder that refuses leaves the focus with nobody, and one that
    // moves the focus elsewhere while it resigns or takes it is not overwritten.
    firstResponder_.reset();
    if (responder && !responder->becomeFirstResponder()) {
        return false;
    }
    if (responder && firstResponder_.expired()) {
        firstResponder_ = responder;
    }
    return true;
}

std::shared_ptr<NSTextView> NSWindow::fieldEditor(bool createFlag) {
    if (!fieldEditor_ && createFlag) {
        fieldEditor_ = std::make_shared<NSTextView>();
    }
    return fieldEditor_;
}

namespace {

void collectKeyViews(const std::shared_ptr<NSView>& view,
                     std::vector<std::shared_ptr<NSView>>& views) {
    if (!view || view->isHidden()) {
        return;
    }
    if (view->acceptsFirstResponder()) {
        views.push_back(view);
    }
    for (const auto& child : view->subviews()) {
        collectKeyViews(child, views);
    }
}

} // namespace

void NSWindow::selectNextKeyView() {
    std::vector<std::shared_ptr<NSView>> views;
    collectKeyViews(contentView_, views);
    if (views.empty()) {
        return;
    }
    const auto current = std::find(views.begin(), views.end(), firstResponder());
    const auto next =
        current == views.end() || current + 1 == views.end() ? views.begin() : current + 1;
    makeFirstResponder(*next);
}

void NSWindow::selectPreviousKeyView() {
    std::vector<std::shared_ptr<NSView>> views;
    collectKeyViews(contentView_, views);
    if (views.empty()) {
        return;
    }
    const auto current = std::find(views.begin(), views.end(), firstResponder());
    const auto previous =
        current == views.end() || current == views.begin() ? views.end() - 1 : current - 1;
    makeFirstResponder(*previous);
}

void NSPanel::setFloatingPanel(bool floating) {
    floatingPanel_ = floating;
    setLevel(floating ? Level::floating : Level::normal);
}

} // namespace zestrel::platform
