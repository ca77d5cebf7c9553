#pragma once

#include "platform/base/DispatchQueue.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <string>

namespace zestrel {

// Shows `tooltipContent` in a popover once the pointer has rested on `content` for a short
// while, and hides it a short while after the pointer leaves. Moving into the popover keeps
// it open; leaving the popover, or the window or scene going inactive, hides it.
struct TooltipModifier {
    // How long the pointer rests before the tooltip shows, or is away before it hides.
    static constexpr platform::Nanoseconds kDelay = std::chrono::milliseconds(350);

    platform::swiftui::View content;
    std::function<platform::swiftui::View()> tooltipContent;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// The tooltip with a text: the system font at the regular (or small) size, wrapped at 300
// points, with 10 points of space around it.
platform::swiftui::View tooltip(platform::swiftui::View content, std::string text,
                                bool small = false);

} // namespace zestrel
