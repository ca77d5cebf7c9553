#pragma once

#include "platform/appkit/CGImage.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSView;

// The application's tile in the Dock, 128 points square. It shows the application's icon
// until it is given a content view; the content view is drawn only when the tile is asked
// to display, into a picture of real pixels that is what the Dock shows until the next
// display. The badge label is the Dock's own text over the tile. Main thread.
class NSDockTile final : public NSObject {
public:
    static constexpr CGSize kSize{128, 128};

    std::string className() const override { return "NSDockTile"; }
    CGSize size() const { return kSize; }

    std::shared_ptr<NSView> contentView() const { return contentView_; }
    void setContentView(std::shared_ptr<NSView> view) { contentView_ = std::move(view); }
    const std::optional<std::string>& badgeLabel() const { return badgeLabel_; }
    void setBadgeLabel(std::optional<std::string> label) { badgeLabel_ = std::move(label); }
    bool showsApplicationBadge() const { return showsApplicationBadge_; }
    void setShowsApplicationBadge(bool shows) { showsApplicationBadge_ = shows; }

    // Draws the content view, sized to the tile, into a new picture; without a content
    // view the picture is the application's icon.
    void display();
    std::size_t displayCount() const { return displayCount_; }
    // The picture of the last display; empty before the first.
    const CGImage& picture() const { return picture_; }
    // The same as a PNG file; nothing before the first display.
    std::optional<Data> pngRepresentation() const { return pngData(picture_); }
    // The texts drawn into the last picture, in order.
    const std::vector<std::string>& pictureTexts() const { return pictureTexts_; }

private:
    std::shared_ptr<NSView> contentView_;
    std::optional<std::string> badgeLabel_;
    bool showsApplicationBadge_ = true;
    std::size_t displayCount_ = 0;
    CGImage picture_;
    std::vector<std::string> pictureTexts_;
};

// `dock tile "badge"`, then the content view's outline and a `text` line for each text of
// the last picture, so that what the tile shows can be read.
OutlineNode outline(const NSDockTile& tile);

} // namespace zestrel::platform
