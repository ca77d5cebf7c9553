#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace zestrel {

// Feeds values in order into one hash, as the platform's hasher does: the order matters, so
// (1, 2) and (2, 1) hash apart. Hashes are for tables within one run, not for storage.
class Hasher {
public:
    template <class T> Hasher& combine(const T& value) {
        mix(std::hash<T>{}(value));
        return *this;
    }
    // Feeds nothing: what an empty hasher finishes with stays as it was.
    std::size_t finalize() const { return state_; }

private:
    void mix(std::size_t value) {
        state_ ^= value + 0x9e3779b97f4a7c15ULL + (state_ << 6) + (state_ >> 2);
        state_ *= 0xff51afd7ed558ccdULL;
    }
    std::size_t state_ = 0xcbf29ce484222325ULL;
};

} // namespace zestrel
