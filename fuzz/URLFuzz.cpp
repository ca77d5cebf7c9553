// URL and URLComponents parsing on arbitrary text, and the accessors on what they accept.
#include "fuzz/FuzzInput.h"
#include "platform/data/URLComponents.h"

using namespace zestrel;
using platform::URL;
using platform::URLComponents;

namespace {

void readParts(const URLComponents& components) {
    components.user();
    components.password();
    components.host();
    components.path();
    components.query();
    components.fragment();
    components.percentEncodedQueryItems();
    components.string();
    components.url();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::text(data, size);
    if (const auto url = URL::parse(text)) {
        url->scheme();
        url->path();
        url->lastPathComponent();
        url->pathExtension();
        url->deletingLastPathComponent();
        url->appendingPathComponent("component");
        if (const auto components = URLComponents::make(*url, true)) {
            readParts(*components);
        }
    }
    if (const auto components = URLComponents::parse(text)) {
        readParts(*components);
    }
    platform::percentDecode(text);
    return 0;
}
