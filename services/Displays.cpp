#include "services/Displays.h"

#include "foundation/TextUtilities.h"
#include "platform/desktop/CGDisplay.h"

namespace zestrel {
namespace {

namespace pf = platform;

std::uint32_t screenNumber(const pf::NSScreen& screen) {
    const auto description = screen.deviceDescription();
    const auto found = description.find("NSScreenNumber");
    return found == description.end()
               ? 0
               : static_cast<std::uint32_t>(found->second.asUInt64().value_or(0));
}

pf::CGPoint centre(const pf::CGRect& rect) {
    return {rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2};
}

const char* edgeName(Edge edge) {
    switch (edge) {
    case Edge::top:
        return "Top";
    case Edge::leading:
        return "Leading";
    case Edge::bottom:
        return "Bottom";
    case Edge::trailing:
        return "Trailing";
    }
    return "nil";
}

} // namespace

bool isPrimary(const pf::NSScreen& screen) {
    const auto first = pf::NSScreen::main();
    return first && screenNumber(*first) == screenNumber(screen);
}

std::string pixelSizeText(const pf::NSScreen& screen) {
    const std::uint32_t number = screenNumber(screen);
    return std::to_string(pf::CGDisplayPixelsWide(number)) + "\u00D7" +
           std::to_string(pf::CGDisplayPixelsHigh(number));
}

std::optional<Edge> positionRelativeToPrimary(const std::shared_ptr<pf::NSScreen>& screen) {
    const auto primary = pf::NSScreen::main();
    if (!primary || primary == screen) {
        return std::nullopt;
    }
    const pf::CGPoint primaryCentre = centre(primary->frame());
    const pf::CGPoint screenCentre = centre(screen->frame());
    if (primaryCentre.x < screenCentre.x) {
        return Edge::trailing;
    }
    if (screenCentre.x < primaryCentre.x) {
        return Edge::leading;
    }
    // The y axis points up.
    return primaryCentre.y < screenCentre.y ? Edge::top : Edge::bottom;
}

std::string RectObject::describe() const {
    return "(" + pf::describeDouble(rect.origin.x) + ", " + pf::describeDouble(rect.origin.y) +
           ", " + pf::describeDouble(rect.size.width) + ", " +
           pf::describeDouble(rect.size.height) + ")";
}

pf::Value::Dictionary debugInfo(const std::shared_ptr<pf::NSScreen>& screen) {
    const std::uint32_t number = screenNumber(*screen);
    const auto side = positionRelativeToPrimary(screen);
    return {
        {"id", pf::Value(number)},
        {"name", pf::Value(screen->localizedName())},
        {"frame", pf::Value(std::make_shared<RectObject>(screen->frame()))},
        {"cgBounds", pf::Value(std::make_shared<RectObject>(pf::CGDisplayBounds(number)))},
        {"scale", pf::Value(screen->backingScaleFactor())},
        {"isMain", pf::Value(pf::CGDisplayIsMain(number) != 0)},
        {"isPrimary", pf::Value(isPrimary(*screen))},
        {"isBuiltin", pf::Value(pf::CGDisplayIsBuiltin(number) != 0)},
        {"isOnline", pf::Value(pf::CGDisplayIsOnline(number) != 0)},
        {"pixelSize", pf::Value(pixelSizeText(*screen))},
        {"positionRelativeToPrimary", pf::Value(side ? edgeName(*side) : "nil")},
    };
}

std::vector<std::string>
screensDebugText(const std::vector<std::shared_ptr<pf::NSScreen>>& screens) {
    std::vector<std::string> texts;
    texts.reserve(screens.size());
    for (const auto& screen : screens) {
        texts.push_back(keyValueLines(debugInfo(screen)));
    }
    return texts;
}

void Display::encode(pf::Encoder& encoder) const {
    auto container = encoder.container();
    container.encode(id, "id");
}

Display Display::decode(const pf::Decoder& decoder) {
    return Display{decoder.container().decode<pf::UUID>("id")};
}

std::optional<std::string> Display::Bridge::serialize(const std::optional<Display>& display) {
    return Prefs::UUIDBridge::serialize(display ? std::optional(display->id) : std::nullopt);
}

std::optional<Display> Display::Bridge::deserialize(const std::optional<std::string>& text) {
    const auto uuid = Prefs::UUIDBridge::deserialize(text);
    return uuid ? std::optional(Display{*uuid}) : std::nullopt;
}

} // namespace zestrel

std::size_t
std::hash<zestrel::Display>::operator()(const zestrel::Display& display) const noexcept {
    std::size_t seed = 0;
    for (const std::uint8_t byte : display.id.bytes) {
        seed = seed * 131 + byte;
    }
    return seed;
}
