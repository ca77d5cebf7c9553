#pragma once

#include "platform/base/Value.h"
#include "platform/data/KeyedArchive.h"

#include <memory>
#include <string>

namespace zestrel::platform {

// A colour of the declarative UI framework (`Color`): sRGB components and opacity, 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double opacity = 1;

    bool operator==(const Color&) const = default;
};

// The platform's colour object, in the sRGB colour space. A keyed archive keeps it by its
// four components.
class NSColor final : public NSObject, public NSCoding {
public:
    NSColor(double red, double green, double blue, double alpha);
    static std::shared_ptr<NSColor> make(const Color& color);
    // The class an unarchiver needs to make colours again.
    static const ArchivableClass& archivableClass();

    double redComponent() const { return red_; }
    double greenComponent() const { return green_; }
    double blueComponent() const { return blue_; }
    double alphaComponent() const { return alpha_; }
    Color color() const { return Color{red_, green_, blue_, alpha_}; }

    std::string className() const override { return "NSColor"; }
    bool isEqual(const NSObject& other) const override;
    Value::Dictionary encodedFields() const override;

private:
    double red_;
    double green_;
    double blue_;
    double alpha_;
};

} // namespace zestrel::platform
