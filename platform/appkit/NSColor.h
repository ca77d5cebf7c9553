#pragma once

#include "platform/base/Value.h"
#include "platform/data/KeyedArchive.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

class NSAppearance;

// A colour of the declarative UI framework (`Color`): sRGB components and opacity, 0 to 1.
struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double opacity = 1;

    bool operator==(const Color&) const = default;
};

// The platform's colour object, in the sRGB colour space. A keyed archive keeps it by its
// four components. A dynamic colour has no components of its own: it asks its provider for
// the colour of the current drawing appearance each time it is read.
class NSColor final : public NSObject, public NSCoding {
public:
    using DynamicProvider = std::function<std::shared_ptr<NSColor>(const NSAppearance&)>;

    NSColor(double red, double green, double blue, double alpha);
    static std::shared_ptr<NSColor> make(const Color& color);
    // `colorWithName:dynamicProvider:`.
    static std::shared_ptr<NSColor> make(std::optional<std::string> name, DynamicProvider provider);
    // The class an unarchiver needs to make colours again.
    static const ArchivableClass& archivableClass();

    const std::optional<std::string>& colorName() const { return name_; }
    bool isDynamic() const { return static_cast<bool>(provider_); }
    // The plain colour this one is in the appearance: itself unless it is dynamic.
    std::shared_ptr<const NSColor> resolved(const NSAppearance& appearance) const;

    double redComponent() const { return color().red; }
    double greenComponent() const { return color().green; }
    double blueComponent() const { return color().blue; }
    double alphaComponent() const { return color().opacity; }
    Color color() const;

    std::string className() const override { return "NSColor"; }
    bool isEqual(const NSObject& other) const override;
    Value::Dictionary encodedFields() const override;

private:
    std::optional<std::string> name_;
    DynamicProvider provider_;
    double red_;
    double green_;
    double blue_;
    double alpha_;
};

} // namespace zestrel::platform
