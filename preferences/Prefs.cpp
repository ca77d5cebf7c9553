#include "preferences/Prefs.h"

namespace zestrel::Prefs {

Keys::Keys(std::string name, std::shared_ptr<platform::UserDefaults> suite)
    : name_(std::move(name)), suite_(std::move(suite)) {}

Keys::~Keys() = default;

void Keys::reset() const {
    suite_->removeObject(name_);
}

bool operator==(const Keys& a, const Keys& b) {
    return a.name_ == b.name_ && a.suite_->isEqual(*b.suite_);
}

std::size_t Keys::hashValue() const {
    std::size_t hash = std::hash<std::string>()(name_);
    // The suite's object hash: its identity, as its equality is.
    hash ^=
        std::hash<const void*>()(suite_.get()) + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    return hash;
}

void reset(std::initializer_list<std::reference_wrapper<const Keys>> keys) {
    for (const Keys& key : keys) {
        key.reset();
    }
}

void removeAll(const std::shared_ptr<platform::UserDefaults>& suite) {
    suite->removeAll();
}

} // namespace zestrel::Prefs
