#include "platform/appkit/NSColor.h"

namespace zestrel::platform {

NSColor::NSColor(double red, double green, double blue, double alpha)
    : red_(red), green_(green), blue_(blue), alpha_(alpha) {}

std::shared_ptr<NSColor> NSColor::make(const Color& color) {
    return std::make_shared<NSColor>(color.red, color.green, color.blue, color.opacity);
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
    return color != nullptr && color->red_ == red_ && color->green_ == green_ &&
           color->blue_ == blue_ && color->alpha_ == alpha_;
}

Value::Dictionary NSColor::encodedFields() const {
    return {{"red", Value(red_)},
            {"green", Value(green_)},
            {"blue", Value(blue_)},
            {"alpha", Value(alpha_)}};
}

} // namespace zestrel::platform
