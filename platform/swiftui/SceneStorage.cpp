#include "platform/swiftui/SceneStorage.h"

#include "platform/base/ProcessLocal.h"

#include <map>
#include <utility>

namespace zestrel::platform::swiftui {

// One key's text; its views follow it.
class SceneStorage::Entry final : public combine::ObservableObject {
public:
    std::optional<std::string> value;
};

namespace {

std::shared_ptr<SceneStorage::Entry> entry(const std::string& key) {
    static auto* const store =
        new ProcessLocal<std::map<std::string, std::shared_ptr<SceneStorage::Entry>>>();
    auto& found = (**store)[key];
    if (!found) {
        found = std::make_shared<SceneStorage::Entry>();
    }
    return found;
}

} // namespace

SceneStorage::SceneStorage(std::string key) : key_(std::move(key)), entry_(entry(key_)) {}

SceneStorage::SceneStorage(ViewContext& context, std::string key) : SceneStorage(std::move(key)) {
    context.observe(entry_);
}

std::optional<std::string> SceneStorage::get() const {
    return entry_->value;
}

void SceneStorage::set(std::optional<std::string> value) const {
    entry_->objectWillChange().send();
    entry_->value = std::move(value);
}

Binding<std::optional<std::string>> SceneStorage::binding() const {
    return Binding<std::optional<std::string>>(
        [self = *this] { return self.get(); },
        [self = *this](const std::optional<std::string>& value) { self.set(value); });
}

} // namespace zestrel::platform::swiftui
