#pragma once

#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform::swiftui {

// `@SceneStorage` of text: a value the scene keeps under a key for its views. The scenes of
// this program share one store, kept for the life of the process. A view that reads it
// through its context follows the key: a write re-evaluates it. Main thread only.
class SceneStorage {
public:
    // The storage under `key` for the view being built.
    SceneStorage(ViewContext& context, std::string key);
    // The same storage outside any view.
    explicit SceneStorage(std::string key);

    const std::string& key() const { return key_; }
    // Nothing while the key holds no text.
    std::optional<std::string> get() const;
    // Nothing removes the text.
    void set(std::optional<std::string> value) const;
    Binding<std::optional<std::string>> binding() const;

    class Entry;

private:
    std::string key_;
    std::shared_ptr<Entry> entry_;
};

} // namespace zestrel::platform::swiftui
