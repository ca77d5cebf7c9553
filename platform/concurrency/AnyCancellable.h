#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_set>
#include <vector>

namespace zestrel::platform::combine {

// Something whose activity can be stopped (a subscription, a sink).
class Cancellable {
public:
    virtual ~Cancellable() = default;
    // Idempotent and safe from any thread.
    virtual void cancel() = 0;
};

// A subscription handle: copies share one cancellation, which runs when cancel() is
// called or when the last copy goes away, whichever comes first, and only once. Safe to
// cancel from any thread, also while another thread cancels it.
class AnyCancellable {
public:
    AnyCancellable() = default; // holds nothing; cancelling it does nothing
    explicit AnyCancellable(std::function<void()> cancel);
    explicit AnyCancellable(std::shared_ptr<Cancellable> cancellable);

    void cancel() const;

    // Keeps a copy in `set`, so the subscription lives as long as the collection does.
    void store(std::vector<AnyCancellable>& set) const { set.push_back(*this); }
    void store(std::set<AnyCancellable>& set) const { set.insert(*this); }
    void store(std::unordered_set<AnyCancellable>& set) const;

    // Identity: copies of one cancellable are equal.
    friend bool operator==(const AnyCancellable& a, const AnyCancellable& b) {
        return a.core_ == b.core_;
    }
    friend bool operator<(const AnyCancellable& a, const AnyCancellable& b) {
        return std::less<>{}(a.core_.get(), b.core_.get());
    }
    std::size_t hash() const { return std::hash<const void*>{}(core_.get()); }

private:
    struct Core;
    std::shared_ptr<Core> core_;
};

} // namespace zestrel::platform::combine

template <> struct std::hash<zestrel::platform::combine::AnyCancellable> {
    std::size_t operator()(const zestrel::platform::combine::AnyCancellable& c) const {
        return c.hash();
    }
};

inline void
zestrel::platform::combine::AnyCancellable::store(std::unordered_set<AnyCancellable>& set) const {
    set.insert(*this);
}
