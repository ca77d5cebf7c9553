#include "platform/appkit/NSSharingServicePicker.h"

#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/Records.h"

namespace zestrel::platform {

namespace {

std::vector<NSSharingServicePicker::Showing>& recorded() {
    static ProcessLocal<std::vector<NSSharingServicePicker::Showing>> showings;
    return *showings;
}

std::string itemText(const Value& item) {
    if (const URL* url = item.asURL()) {
        return url->absoluteString();
    }
    if (const std::string* text = item.asString()) {
        return *text;
    }
    return item.describe();
}

} // namespace

void NSSharingServicePicker::showRelativeToRect(const CGRect& /*rect*/,
                                                const std::shared_ptr<NSView>& view,
                                                NSRectEdge /*preferredEdge*/) {
    Showing showing;
    for (const Value& item : items_) {
        showing.items.push_back(itemText(item));
    }
    if (view) {
        if (auto window = view->window()) {
            showing.windowTitle = window->title();
        }
    }
    recorded().push_back(std::move(showing));
}

std::vector<NSSharingServicePicker::Showing> NSSharingServicePicker::showings() {
    return recorded();
}

std::size_t NSSharingServicePicker::showingCount() {
    return recorded().size();
}

std::optional<NSSharingServicePicker::Showing> NSSharingServicePicker::showing(std::size_t index) {
    return recordAt(recorded(), index);
}

} // namespace zestrel::platform
