#include "platform/desktop/NSPasteboard.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

#include "platform/desktop/Desktop.h"

#include <algorithm>

namespace zestrel::platform {

namespace {

Data bytesOf(const std::string& text) {
    return Data(text.begin(), text.end());
}

void setRepresentation(std::vector<std::pair<NSPasteboardType, Data>>& representations,
                       const NSPasteboardType& type, Data data) {
    for (auto& [existing, bytes] : representations) {
        if (existing == type) {
            bytes = std::move(data);
            return;
        }
    }
    representations.emplace_back(type, std::move(data));
}

} // namespace

std::vector<NSPasteboardType> NSPasteboardItem::types() const {
    MutexLock lock(mutex_);
    std::vector<NSPasteboardType> types;
    for (const auto& [type, data] : representations_) {
        types.push_back(type);
    }
    return types;
}

bool NSPasteboardItem::setString(const std::string& string, const NSPasteboardType& type) {
    return setData(bytesOf(string), type);
}

bool NSPasteboardItem::setData(Data data, const NSPasteboardType& type) {
    MutexLock lock(mutex_);
    setRepresentation(representations_, type, std::move(data));
    return true;
}

std::optional<std::string> NSPasteboardItem::stringForType(const NSPasteboardType& type) const {
    auto data = dataForType(type);
    return data ? std::optional<std::string>(std::string(data->begin(), data->end()))
                : std::nullopt;
}

std::optional<Data> NSPasteboardItem::dataForType(const NSPasteboardType& type) const {
    MutexLock lock(mutex_);
    for (const auto& [existing, data] : representations_) {
        if (existing == type) {
            return data;
        }
    }
    return std::nullopt;
}

NSPasteboard::NSPasteboard(std::string name) : name_(std::move(name)) {}

std::shared_ptr<NSPasteboard> NSPasteboard::general() {
    return Desktop::current()->generalPasteboard();
}

std::int64_t NSPasteboard::changeCount() const {
    MutexLock lock(mutex_);
    return changeCount_;
}

std::int64_t NSPasteboard::clearContents() {
    return prepareForNewContents(ContentsOptions::none);
}

std::int64_t NSPasteboard::prepareForNewContents(ContentsOptions options) {
    MutexLock lock(mutex_);
    // What an ended process's code still asks from a thread of its own changes nothing.
    if (ProcessTeardown::refuses()) {
        return changeCount_;
    }
    items_.clear();
    options_ = options;
    return ++changeCount_;
}

std::optional<std::vector<NSPasteboardType>> NSPasteboard::types() const {
    MutexLock lock(mutex_);
    std::vector<NSPasteboardType> types;
    for (const auto& item : items_) {
        for (const auto& [type, data] : item) {
            if (std::find(types.begin(), types.end(), type) == types.end()) {
                types.push_back(type);
            }
        }
    }
    return types;
}

std::vector<std::shared_ptr<NSPasteboardItem>> NSPasteboard::pasteboardItems() const {
    MutexLock lock(mutex_);
    std::vector<std::shared_ptr<NSPasteboardItem>> items;
    for (const auto& representations : items_) {
        auto item = std::make_shared<NSPasteboardItem>();
        MutexLock itemLock(item->mutex_); // nobody else sees it yet: keeps the analysis simple
        item->representations_ = representations;
        items.push_back(std::move(item));
    }
    return items;
}

bool NSPasteboard::writeObjects(const std::vector<std::shared_ptr<NSPasteboardItem>>& items) {
    if (ProcessTeardown::refuses()) {
        return false;
    }
    std::vector<Representations> copies;
    for (const auto& item : items) {
        if (!item) {
            return false;
        }
        MutexLock itemLock(item->mutex_);
        copies.push_back(item->representations_);
    }
    MutexLock lock(mutex_);
    for (auto& copy : copies) {
        items_.push_back(std::move(copy));
    }
    return true;
}

bool NSPasteboard::setString(const std::string& string, const NSPasteboardType& type) {
    return setData(bytesOf(string), type);
}

bool NSPasteboard::setData(Data data, const NSPasteboardType& type) {
    if (ProcessTeardown::refuses()) {
        return false;
    }
    MutexLock lock(mutex_);
    if (items_.empty()) {
        items_.emplace_back();
    }
    setRepresentation(items_.front(), type, std::move(data));
    return true;
}

std::optional<Data> NSPasteboard::find(const Representations& representations,
                                       const NSPasteboardType& type) {
    for (const auto& [existing, data] : representations) {
        if (existing == type) {
            return data;
        }
    }
    return std::nullopt;
}

std::optional<std::string> NSPasteboard::stringForType(const NSPasteboardType& type) const {
    auto data = dataForType(type);
    return data ? std::optional<std::string>(std::string(data->begin(), data->end()))
                : std::nullopt;
}

std::optional<Data> NSPasteboard::dataForType(const NSPasteboardType& type) const {
    MutexLock lock(mutex_);
    for (const auto& item : items_) {
        if (auto data = find(item, type)) {
            return data;
        }
    }
    return std::nullopt;
}

std::vector<URL> NSPasteboard::readFileURLs() const {
    MutexLock lock(mutex_);
    std::vector<URL> urls;
    for (const auto& item : items_) {
        auto data = find(item, NSPasteboardType::fileURL);
        if (!data) {
            continue;
        }
        auto url = URL::parse(std::string(data->begin(), data->end()));
        if (url && url->isFileURL()) {
            urls.push_back(*url);
        }
    }
    return urls;
}

NSPasteboard::ContentsOptions NSPasteboard::contentsOptions() const {
    MutexLock lock(mutex_);
    return options_;
}

} // namespace zestrel::platform
