#include "foundation/ZeroSizeView.h"

#include "platform/swiftui/Controls.h"

#include <array>
#include <optional>

namespace zestrel {

namespace pf = platform;

namespace {

// The frame as four numbers, so that decoding it asks for no collection class.
constexpr std::array<const char*, 4> kFrameKeys{"NSFrameX", "NSFrameY", "NSFrameWidth",
                                                "NSFrameHeight"};
constexpr const char* kHiddenKey = "NSHidden";
constexpr const char* kIdentifierKey = "NSIdentifier";

// The archived frame, zero in each part left out, nothing when a part is not a number.
std::optional<pf::CGRect> decodedFrame(const pf::Value::Dictionary& fields) {
    std::array<double, 4> numbers{};
    for (std::size_t i = 0; i < kFrameKeys.size(); ++i) {
        const auto field = fields.find(kFrameKeys[i]);
        if (field == fields.end()) {
            continue;
        }
        if (!field->second.isNumber()) {
            return std::nullopt;
        }
        numbers[i] = *field->second.asDouble();
    }
    return pf::CGRect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

} // namespace

pf::Value::Dictionary XViewType::encodedFields() const {
    const pf::CGRect& rect = frame();
    pf::Value::Dictionary fields{
        {kFrameKeys[0], pf::Value(rect.origin.x)},   {kFrameKeys[1], pf::Value(rect.origin.y)},
        {kFrameKeys[2], pf::Value(rect.size.width)}, {kFrameKeys[3], pf::Value(rect.size.height)},
        {kHiddenKey, pf::Value(isHidden())},
    };
    if (!identifier().empty()) {
        fields.emplace(kIdentifierKey, pf::Value(identifier()));
    }
    return fields;
}

const pf::ArchivableClass& XViewType::archivableClass() {
    static const pf::ArchivableClass cls{
        "XViewType", [](const pf::Value::Dictionary& fields) -> std::shared_ptr<pf::NSObject> {
            const std::optional<pf::CGRect> frame = decodedFrame(fields);
            if (!frame) {
                return nullptr;
            }
            auto view = std::make_shared<XViewType>(*frame);
            if (const auto hidden = fields.find(kHiddenKey); hidden != fields.end()) {
                const std::optional<bool> flag = hidden->second.asBool();
                if (!flag) {
                    return nullptr;
                }
                view->setHidden(*flag);
            }
            if (const auto identifier = fields.find(kIdentifierKey); identifier != fields.end()) {
                const std::string* text = identifier->second.asString();
                if (text == nullptr) {
                    return nullptr;
                }
                view->setIdentifier(*text);
            }
            return view;
        }};
    return cls;
}

platform::swiftui::View ZeroSizeView::body(platform::swiftui::ViewContext&) const {
    return platform::swiftui::ViewRepresentable([] { return std::make_shared<XViewType>(); });
}

} // namespace zestrel
