// The Codable JSON decoder on arbitrary text, into the shapes preferences keep as JSON.
#include "fuzz/FuzzInput.h"
#include "platform/base/Error.h"
#include "platform/data/JSONCoder.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace zestrel;
using platform::Decoder;
using platform::Encoder;

namespace {

// A coded struct with nested optional and collection fields.
struct Schedule {
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    std::optional<std::string> label;
    std::vector<platform::UUID> ids;
    std::map<std::string, double> weights;

    void encode(Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(hour, "hour");
        container.encode(minute, "minute");
        container.encode(label, "label");
        container.encode(ids, "ids");
        container.encode(weights, "weights");
    }
    static Schedule decode(const Decoder& decoder) {
        auto container = decoder.container();
        return Schedule{container.decode<std::int64_t>("hour"),
                        container.decode<std::int64_t>("minute"),
                        container.decode<std::optional<std::string>>("label"),
                        container.decode<std::vector<platform::UUID>>("ids"),
                        container.decode<std::map<std::string, double>>("weights")};
    }
};

template <class T> void decodeAs(std::string_view text) {
    try {
        platform::JSONDecoder().decode<T>(text);
    } catch (const platform::Error&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::text(data, size);
    decodeAs<std::map<std::string, int>>(text);
    decodeAs<std::vector<std::string>>(text);
    decodeAs<std::vector<std::optional<std::int16_t>>>(text);
    decodeAs<Schedule>(text);
    decodeAs<bool>(text);
    decodeAs<std::uint8_t>(text);
    decodeAs<float>(text);
    decodeAs<platform::Date>(text);
    decodeAs<platform::Data>(text);
    decodeAs<platform::URL>(text);
    decodeAs<platform::UUID>(text);
    return 0;
}
