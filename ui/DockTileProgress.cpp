#include "ui/DockTileProgress.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSBezierPath.h"
#include "platform/appkit/NSDockTile.h"
#include "platform/appkit/NSGraphicsContext.h"
#include "platform/appkit/NSImage.h"
#include "platform/appkit/NSImageView.h"
#include "platform/base/ProcessLocal.h"
#include "platform/concurrency/Task.h"
#include "ui/DockTileLayers.h"

#include <cmath>
#include <type_traits>

namespace zestrel {

namespace pf = platform;
using pf::CGFloat;
using pf::CGRect;

namespace {

// One key-value observation of a progress object, ended with its holder; an object that
// is gone needs no ending.
class Observation {
public:
    Observation(const std::shared_ptr<pf::Progress>& progress, pf::KeyValueObservationToken token)
        : progress_(progress), token_(token) {}
    Observation(const Observation&) = delete;
    Observation& operator=(const Observation&) = delete;
    ~Observation() {
        if (auto progress = progress_.lock()) {
            progress->removeObserver(token_);
        }
    }

private:
    std::weak_ptr<pf::Progress> progress_;
    pf::KeyValueObservationToken token_;
};

struct DockState {
    double progress = 0;
    std::weak_ptr<pf::Progress> instance;
    DockTileProgress::Style style = DockTileProgress::Bar{};
    double lastDrawn = 0;
    std::unique_ptr<Observation> fractionObservation;
    std::unique_ptr<Observation> finishedObservation;
    std::shared_ptr<pf::NSImageView> imageView;
};

pf::ProcessLocal<DockState> dockState;

bool showsIndicator(double progress) {
    return progress > 0 && progress < 1;
}

CGRect insetBy(CGRect rect, CGFloat dx, CGFloat dy) {
    return CGRect{rect.origin.x + dx, rect.origin.y + dy, rect.size.width - 2 * dx,
                  rect.size.height - 2 * dy};
}

// The layers draw into the current graphics context; without one there is nowhere to go.
pf::CGContext* currentDrawingContext() {
    auto* graphics = pf::NSGraphicsContext::current();
    return graphics ? &graphics->cgContext() : nullptr;
}

void drawBar(CGRect rect, double progress) {
    const CGRect bar{0, 20, rect.size.width, 10};
    pf::NSBezierPath::withRoundedRect(bar, 5, 5)->fill(pf::NSColor(1, 1, 1, 0.8));
    const CGRect groove = insetBy(bar, 0.5, 0.5);
    pf::NSBezierPath::withRoundedRect(groove, groove.size.height / 2, groove.size.height / 2)
        ->fill(pf::NSColor(0, 0, 0, 0.8));
    CGRect done = insetBy(bar, 1, 1);
    done.size.width *= progress;
    pf::NSBezierPath::withRoundedRect(done, done.size.height / 2, done.size.height / 2)
        ->fill(pf::NSColor(1, 1, 1, 1));
}

void drawSquircle(CGRect rect, const DockTileProgress::Squircle& style, double progress) {
    auto* context = currentDrawingContext();
    if (!context) {
        return;
    }
    CGRect ring = insetBy(rect, 14.4, 14.4);
    if (style.inset) {
        ring = insetBy(ring, *style.inset, *style.inset);
    }
    auto layer = std::make_shared<ProgressSquircleShapeLayer>(ring);
    layer->setStrokeColor(style.color ? std::optional(style.color->color()) : std::nullopt);
    layer->setLineWidth(5);
    layer->setStrokeEnd(progress * 1.02);
    layer->render(*context);
}

void drawCircle(CGRect rect, const DockTileProgress::Circle& style, double progress) {
    auto* context = currentDrawingContext();
    if (!context) {
        return;
    }
    const pf::CGPoint center{rect.origin.x + rect.size.width / 2,
                             rect.origin.y + rect.size.height / 2};
    auto layer = std::make_shared<ProgressCircleShapeLayer>(style.radius, center);
    layer->setStrokeColor(style.color ? std::optional(style.color->color()) : std::nullopt);
    layer->setLineWidth(4);
    layer->setStrokeEnd(progress);
    layer->render(*context);
}

void drawBadge(CGRect rect, const std::shared_ptr<pf::NSColor>& color,
               std::optional<std::int64_t> count, double progress) {
    auto* context = currentDrawingContext();
    if (!context) {
        return;
    }
    const CGFloat radius = rect.size.width / 4.8;
    const pf::CGPoint center{rect.origin.x + rect.size.width - radius - 4,
                             rect.origin.y + radius + 4};

    auto background = std::make_shared<ProgressCircleShapeLayer>(radius, center);
    background->setFillColor(pf::Color{0.94, 0.96, 1.0, 1.0});
    background->setShadowColor(pf::Color{0, 0, 0, 1});
    background->setShadowOpacity(0.3F);
    background->setMasksToBounds(false);
    background->setShadowOffset({-1, 1});
    background->setShadowPath(background->path());

    const CGFloat lineWidth = count ? 6 : radius;
    auto indicator = std::make_shared<ProgressCircleShapeLayer>(radius - lineWidth / 2, center);
    indicator->setStrokeColor(color ? std::optional(color->color()) : std::nullopt);
    indicator->setLineWidth(lineWidth);
    indicator->setLineCap(pf::CAShapeLayer::LineCap::butt);
    indicator->setStrokeEnd(progress);

    if (count) {
        const CGFloat side = background->bounds().size.height - 5;
        auto text = std::make_shared<VerticallyCenteredTextLayer>();
        text->setFrame(CGRect{center.x - side / 2, center.y - side / 2, side, side});
        text->setForegroundColor(pf::Color{0.23, 0.23, 0.24, 1.0});
        text->setString(badgeText(*count));
        text->setFontSize(badgeFontSize(text->string()));
        text->setFontName("HelveticaNeue-Bold");
        text->setAlignmentMode(pf::CATextLayer::AlignmentMode::center);
        text->setTruncationMode(pf::CATextLayer::TruncationMode::end);
        background->addSublayer(text);
    }
    // Added after the count, so the ring lies over it.
    background->addSublayer(indicator);
    background->render(*context);
}

// What the tile's image draws, with the style and progress of the moment it is drawn.
bool drawIndicator(const std::shared_ptr<pf::NSImage>& icon, CGRect rect) {
    if (auto* graphics = pf::NSGraphicsContext::current()) {
        graphics->setImageInterpolation(pf::NSImageInterpolation::high);
    }
    icon->draw(rect);
    const DockState& state = *dockState;
    const double progress = state.progress;
    std::visit(
        [&](const auto& style) {
            using S = std::decay_t<decltype(style)>;
            if constexpr (std::is_same_v<S, DockTileProgress::Bar>) {
                drawBar(rect, progress);
            } else if constexpr (std::is_same_v<S, DockTileProgress::Squircle>) {
                drawSquircle(rect, style, progress);
            } else if constexpr (std::is_same_v<S, DockTileProgress::Circle>) {
                drawCircle(rect, style, progress);
            } else if constexpr (std::is_same_v<S, DockTileProgress::Badge>) {
                drawBadge(rect, style.color,
                          style.badgeValue ? style.badgeValue() : std::int64_t{0}, progress);
            } else if constexpr (std::is_same_v<S, DockTileProgress::Pie>) {
                drawBadge(rect, style.color, std::nullopt, progress);
            } else if (style.drawHandler) {
                style.drawHandler(rect);
            }
        },
        state.style);
    return true;
}

void redraw() {
    DockState& state = *dockState;
    auto& application = pf::NSApp();
    const auto icon = application.applicationIconImage();
    if (!icon) {
        return;
    }
    auto image =
        showsIndicator(state.progress)
            ? pf::NSImage::withDrawingHandler(
                  icon->size(), false, [icon](CGRect rect) { return drawIndicator(icon, rect); })
            : icon;
    if (!state.imageView) {
        state.imageView = std::make_shared<pf::NSImageView>();
        application.dockTile()->setContentView(state.imageView);
    }
    state.imageView->setImage(std::move(image));
    application.dockTile()->display();
}

} // namespace

double DockTileProgress::progress() {
    return dockState->progress;
}

void DockTileProgress::setProgress(double progress) {
    DockState& state = *dockState;
    state.progress = progress;
    // Small steps are not worth a redraw, but the ends are: a finished task must not leave
    // a nearly full bar behind.
    const bool shows = state.lastDrawn == 0 || std::abs(progress - state.lastDrawn) > 0.01 ||
                       progress <= 0 || progress >= 1 ||
                       showsIndicator(progress) != showsIndicator(state.lastDrawn);
    if (shows) {
        state.lastDrawn = progress;
        redraw();
    }
}

std::shared_ptr<pf::Progress> DockTileProgress::progressInstance() {
    return dockState->instance.lock();
}

void DockTileProgress::setProgressInstance(const std::shared_ptr<pf::Progress>& progress) {
    DockState& state = *dockState;
    state.instance = progress;
    if (!progress) {
        state.fractionObservation.reset();
        state.finishedObservation.reset();
        resetProgress();
        return;
    }
    const std::weak_ptr<pf::Progress> weak = progress;
    const auto fraction =
        progress->addObserver("fractionCompleted", 0, [weak](const pf::KeyValueNotification&) {
            pf::Task<void>::runOnMain([weak]() -> pf::Task<void> {
                auto observed = weak.lock();
                if (observed && !observed->isCancelled() && !observed->isFinished()) {
                    DockTileProgress::setProgress(observed->fractionCompleted());
                }
                co_return;
            });
        });
    state.fractionObservation = std::make_unique<Observation>(progress, fraction);
    const auto finished =
        progress->addObserver("isFinished", 0, [weak](const pf::KeyValueNotification&) {
            pf::Task<void>::runOnMain([weak]() -> pf::Task<void> {
                auto observed = weak.lock();
                if (observed && !observed->isCancelled() && observed->isFinished()) {
                    DockTileProgress::setProgress(1);
                }
                co_return;
            });
        });
    state.finishedObservation = std::make_unique<Observation>(progress, finished);
}

const DockTileProgress::Style& DockTileProgress::style() {
    return dockState->style;
}

void DockTileProgress::setStyle(Style style) {
    dockState->style = std::move(style);
}

void DockTileProgress::resetProgress() {
    setProgress(0);
    dockState->lastDrawn = 0;
    redraw();
}

} // namespace zestrel
