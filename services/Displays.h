#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"
#include "platform/data/Coding.h"
#include "platform/data/JSONCoder.h"
#include "platform/desktop/NSScreen.h"
#include "preferences/PrefsBridges.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The user's screens described for diagnostics, and a storable display value.
namespace zestrel {

// The side of the primary screen on which another one lies.
enum class Edge { top, leading, bottom, trailing };

// True when there are screens and the first of them has this screen's number.
bool isPrimary(const platform::NSScreen& screen);
// The display's size in pixels, as "2560×1440".
std::string pixelSizeText(const platform::NSScreen& screen);
// Where this screen lies, by the centres of the two frames: the horizontal side wins, and
// with equal centre x it is top or bottom (bottom also for equal centres). Nothing for the
// primary screen itself and when there are no screens.
std::optional<Edge> positionRelativeToPrimary(const std::shared_ptr<platform::NSScreen>& screen);

// A rectangle held in a debug dictionary; it prints as "(x, y, width, height)".
class RectObject final : public platform::NSObject {
public:
    explicit RectObject(platform::CGRect rect) : rect(rect) {}
    const platform::CGRect rect;
    std::string className() const override { return "CGRect"; }
    std::string describe() const override;
};

// The eleven facts of the debug report: "id", "name", "frame", "cgBounds", "scale",
// "isMain", "isPrimary", "isBuiltin", "isOnline", "pixelSize" and
// "positionRelativeToPrimary" ("Top", "Leading", "Bottom", "Trailing" or "nil").
platform::Value::Dictionary debugInfo(const std::shared_ptr<platform::NSScreen>& screen);
// One block of "key: value" lines per screen, in the order given.
std::vector<std::string>
screensDebugText(const std::vector<std::shared_ptr<platform::NSScreen>>& screens);

// A display named by a UUID. Coded as {"id": UUID}; stored in preferences as the UUID's text.
struct Display {
    platform::UUID id;

    bool operator==(const Display&) const = default;

    void encode(platform::Encoder& encoder) const;
    static Display decode(const platform::Decoder& decoder);

    struct Bridge {
        using ValueType = Display;
        using Serializable = std::string;
        static std::optional<std::string> serialize(const std::optional<Display>& display);
        static std::optional<Display> deserialize(const std::optional<std::string>& text);
    };
};

} // namespace zestrel

template <> struct std::hash<zestrel::Display> {
    std::size_t operator()(const zestrel::Display& display) const noexcept;
};

template <> struct zestrel::Prefs::PrefsSerializable<zestrel::Display> {
    using Bridge = zestrel::Display::Bridge;
    static constexpr bool isNativelySupportedType = false;
};
