#pragma once

#include "foundation/ReadersWriterLock.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zestrel {

// An array that any thread may read and change. Reads see a consistent array; iteration
// goes over a snapshot taken at one moment, unaffected by later writes.
template <class Element> class AtomicArray final {
public:
    AtomicArray() = default;
    AtomicArray(const AtomicArray&) = delete;
    AtomicArray& operator=(const AtomicArray&) = delete;

    const ReadersWriterLock& lock() const { return lock_; }

    std::vector<Element> snapshot() const {
        return lock_.read([this] { return storage_; });
    }
    std::size_t count() const {
        return lock_.read([this] { return storage_.size(); });
    }
    bool isEmpty() const { return count() == 0; }

    void append(Element element) {
        lock_.write([&] { storage_.push_back(std::move(element)); });
    }
    void removeAll() {
        lock_.write([this] { storage_.clear(); });
    }
    // Changes the array in one exclusive step; `change` must not touch this container.
    template <class F> void mutate(F&& change) {
        lock_.write([&] { change(storage_); });
    }

    // "[a, b]" with each element as the platform reflects it.
    std::string debugDescription() const {
        return lock_.read([this] {
            std::string text = "[";
            for (std::size_t index = 0; index < storage_.size(); ++index) {
                if (index > 0) {
                    text += ", ";
                }
                text += detail::debugText(storage_[index]);
            }
            return text + "]";
        });
    }

private:
    ReadersWriterLock lock_{"com.Quorvik.AtomicArray"};
    std::vector<Element> storage_;
};

} // namespace zestrel
