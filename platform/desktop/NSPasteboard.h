#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// A uniform type identifier naming one representation on a pasteboard.
struct NSPasteboardType {
    std::string rawValue;

    static const NSPasteboardType string;  // "public.utf8-plain-text"
    static const NSPasteboardType fileURL; // "public.file-url"
    static const NSPasteboardType URL;     // "public.url"
    static const NSPasteboardType png;     // "public.png"
    static const NSPasteboardType tiff;    // "public.tiff"

    bool operator==(const NSPasteboardType&) const = default;
    auto operator<=>(const NSPasteboardType&) const = default;
};

inline const NSPasteboardType NSPasteboardType::string{"public.utf8-plain-text"};
inline const NSPasteboardType NSPasteboardType::fileURL{"public.file-url"};
inline const NSPasteboardType NSPasteboardType::URL{"public.url"};
inline const NSPasteboardType NSPasteboardType::png{"public.png"};
inline const NSPasteboardType NSPasteboardType::tiff{"public.tiff"};

// One item of a pasteboard: its representations, one per type, in the order written.
// Writing an item to a pasteboard copies what it holds at that moment.
class NSPasteboardItem final : public NSObject {
public:
    std::vector<NSPasteboardType> types() const;
    // Text is kept as its UTF-8 bytes. A later write of a type replaces the earlier one.
    bool setString(const std::string& string, const NSPasteboardType& type);
    bool setData(Data data, const NSPasteboardType& type);
    std::optional<std::string> stringForType(const NSPasteboardType& type) const;
    std::optional<Data> dataForType(const NSPasteboardType& type) const;

    std::string className() const override { return "NSPasteboardItem"; }

private:
    friend class NSPasteboard;
    mutable Mutex mutex_;
    std::vector<std::pair<NSPasteboardType, Data>> representations_ GUARDED_BY(mutex_);
};

// A pasteboard of the desktop. The general one outlives the program's process, as the
// system's does. The change count rises when an owner clears the contents to write new
// ones, not with each write. Thread-safe.
class NSPasteboard final : public NSObject {
public:
    using PasteboardType = NSPasteboardType;
    enum class ContentsOptions : std::uint64_t { none = 0, currentHostOnly = 1 };

    explicit NSPasteboard(std::string name);

    // The current desktop's general pasteboard.
    static std::shared_ptr<NSPasteboard> general();

    const std::string& name() const { return name_; }
    std::int64_t changeCount() const;
    // Empties the pasteboard and answers the raised change count.
    std::int64_t clearContents();
    std::int64_t prepareForNewContents(ContentsOptions options = ContentsOptions::none);

    // The types of all items, each once, in the order they first appear; an empty list for
    // an empty pasteboard.
    std::optional<std::vector<NSPasteboardType>> types() const;
    // Copies of the items as they are now.
    std::vector<std::shared_ptr<NSPasteboardItem>> pasteboardItems() const;
    // Appends the items.
    bool writeObjects(const std::vector<std::shared_ptr<NSPasteboardItem>>& items);
    // Writes into the first item, making one on an empty pasteboard.
    bool setString(const std::string& string, const NSPasteboardType& type);
    bool setData(Data data, const NSPasteboardType& type);
    // From the first item that has the type.
    std::optional<std::string> stringForType(const NSPasteboardType& type) const;
    std::optional<Data> dataForType(const NSPasteboardType& type) const;
    // The file URLs of the items that hold one, in item order (reading URL objects with
    // the file-URLs-only option).
    std::vector<URL> readFileURLs() const;
    // The options the contents were last prepared with.
    ContentsOptions contentsOptions() const;

    std::string className() const override { return "NSPasteboard"; }

private:
    using Representations = std::vector<std::pair<NSPasteboardType, Data>>;
    static std::optional<Data> find(const Representations& representations,
                                    const NSPasteboardType& type);

    const std::string name_;
    mutable Mutex mutex_;
    std::int64_t changeCount_ GUARDED_BY(mutex_) = 0;
    ContentsOptions options_ GUARDED_BY(mutex_) = ContentsOptions::none;
    std::vector<Representations> items_ GUARDED_BY(mutex_);
};

// The general pasteboard's name.
inline constexpr const char* NSPasteboardNameGeneral = "Apple CFPasteboard general";

} // namespace zestrel::platform
