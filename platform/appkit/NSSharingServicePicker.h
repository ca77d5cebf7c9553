#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSView;

enum class NSRectEdge { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// The share menu for some items (links, texts, images). The desktop offers no sharing
// services, so showing the picker is recorded for the program and its tests to read; no
// service is ever chosen. Main thread only.
class NSSharingServicePicker final : public NSObject {
public:
    explicit NSSharingServicePicker(std::vector<Value> items) : items_(std::move(items)) {}

    std::string className() const override { return "NSSharingServicePicker"; }
    const std::vector<Value>& items() const { return items_; }

    // Shows the menu beside `rect` of the view.
    void showRelativeToRect(const CGRect& rect, const std::shared_ptr<NSView>& view,
                            NSRectEdge preferredEdge);

    // One showing: the items as text (a URL as its address) and the title of the window the
    // picker was shown from (empty when none).
    struct Showing {
        std::vector<std::string> items;
        std::string windowTitle;
        bool operator==(const Showing&) const = default;
    };
    // The showings of this process, in order.
    static std::vector<Showing> showings();
    // How many that is, and the one at `index` (nothing past the last), one at a time.
    static std::size_t showingCount();
    static std::optional<Showing> showing(std::size_t index);

private:
    std::vector<Value> items_;
};

} // namespace zestrel::platform
