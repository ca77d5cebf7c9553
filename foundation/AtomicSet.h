#pragma once

#include "foundation/ReadersWriterLock.h"

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_set>
#include <utility>

namespace zestrel {

// A hash set that any thread may read and change; equal and hashed by its elements.
template <class Element, class Hash = std::hash<Element>> class AtomicSet final {
public:
    using Storage = std::unordered_set<Element, Hash>;

    AtomicSet() = default;
    explicit AtomicSet(Storage elements) : storage_(std::move(elements)) {}
    AtomicSet(const AtomicSet&) = delete;
    AtomicSet& operator=(const AtomicSet&) = delete;

    // True when the element was not there before.
    bool insert(Element element) {
        bool inserted = false;
        lock_.write([&] { inserted = storage_.insert(std::move(element)).second; });
        return inserted;
    }
    // True when the element was there.
    bool remove(const Element& element) {
        bool removed = false;
        lock_.write([&] { removed = storage_.erase(element) > 0; });
        return removed;
    }
    bool contains(const Element& element) const {
        return lock_.read([&] { return storage_.contains(element); });
    }
    std::size_t count() const {
        return lock_.read([this] { return storage_.size(); });
    }
    Storage snapshot() const {
        return lock_.read([this] { return storage_; });
    }

    // The right operand is copied under its own lock first, then compared under the left
    // one's: the two locks are never held together, so `a == b` and `b == a` on two
    // threads cannot deadlock.
    friend bool operator==(const AtomicSet& left, const AtomicSet& right) {
        if (&left == &right) {
            return true;
        }
        Storage other = right.snapshot();
        return left.lock_.read([&] { return left.storage_ == other; });
    }

    // Independent of the order of the elements.
    std::size_t hashValue() const {
        return lock_.read([this] {
            std::size_t combined = storage_.size();
            for (const Element& element : storage_) {
                std::size_t h = Hash{}(element);
                // Mixed before summing, so that small hashes do not cancel out.
                h ^= h >> 33;
                h *= 0xff51afd7ed558ccdULL;
                h ^= h >> 33;
                combined += h;
            }
            return combined;
        });
    }

    std::string debugDescription() const {
        return lock_.read([this] {
            std::string text = "Set([";
            bool first = true;
            for (const Element& element : storage_) {
                if (!first) {
                    text += ", ";
                }
                first = false;
                text += detail::debugText(element);
            }
            return text + "])";
        });
    }

private:
    Storage storage_;
    ReadersWriterLock lock_{"AtomicSet"};
};

} // namespace zestrel

template <class Element, class Hash> struct std::hash<zestrel::AtomicSet<Element, Hash>> {
    std::size_t operator()(const zestrel::AtomicSet<Element, Hash>& set) const {
        return set.hashValue();
    }
};
