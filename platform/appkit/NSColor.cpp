#include "platform/appkit/NSColor.h"

#include "platform/appkit/NSAppearance.h"

namespace zestrel::platform {

NSColor::NSColor(double red, double green, double blue, double alpha)
    : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

std::shared_ptr<NSColor> NSColor::make(const Color& color) {
    return std::make_shared<NSColor>(color.red, color.green, color.blue, color.opacity);
}

std::shared_ptr<NSColor> NSColor::make(std::optional<std::string> name, DynamicProvider provider) {
    auto color = std::make_shared<NSColor>(0, 0, 0, 1);
    color->name_ = std::move(name);
    color->provider_ = std::move(provider);
    return color;
}

std::shared_ptr<const NSColor> NSColor::resolved(const NSAppearance& appearance) const {
    if (!provider_) {
        if (auto self = weak_from_this().lock()) {
            return std::static_pointer_cast<const NSColor>(self);
        }
        return std::make_shared<const NSColor>(red_, green_, blue_, alpha_);
    }
    auto color = provider_(appearance);
    // A provider that answers nothing, or another dynamic colour, gives no components.
    if (!color || color->isDynamic()) {
        return std::make_shared<const NSColor>(0, 0, 0, 0);
    }
    return color;
}

Color NSColor::color() const {
    if (!provider_) {
        return Color{red_, green_, blue_, alpha_};
    }
    return resolved(*NSAppearance::currentDrawingAppearance())->color();
}

const ArchivableClass& NSColor::archivableClass() {
    static const ArchivableClass cls{
        "NSColor", [](const Value::Dictionary& fields) -> std::shared_ptr<NSObject> {
            double components[4];
            const char* names[4] = {"red", "green", "blue", "alpha"};
            for (int i = 0; i < 4; ++i) {
                const auto field = fields.find(names[i]);
                if (field == fields.end() || !field->second.isNumber()) {
                    return nullptr;
                }
                components[i] = *field->second.asDouble();
            }
            return std::make_shared<NSColor>(components[0], components[1], components[2],
                                             components[3]);
        }};
    return cls;
}

bool NSColor::isEqual(const NSObject& other) const {
    const auto* color = dynamic_cast<const NSColor*>(&other);
    if (color == nullptr) {
        return false;
    }
    if (isDynamic() || color->isDynamic()) {
        return color == this; // a provider is known by no other means than its object
    }
    return color->red_ == red_ && color->green_ == green_ && color->blue_ == blue_ &&
           color->alpha_ == alpha_;
}

Value::Dictionary NSColor::encodedFields() const {
    // A dynamic colour is archived as it looks now.
    const auto now = color();
    return {{"red", Value(now.red)},
            {"green", Value(now.green)},
            {"blue", Value(now.blue)},
            {"alpha", Value(now.opacity)}};
}

} // namespace zestrel::platform
