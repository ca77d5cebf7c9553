#pragma once

#include "platform/base/Error.h"
#include "platform/swiftui/View.h"
#include "platform/swiftui/ViewState.h"
#include "ui/SwiftUIWindowAccess.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace zestrel {

// How a value becomes the bytes of an exported file: specialise with
// `static std::string exportedData(const T&)`.
template <class T> struct Transferable;

template <> struct Transferable<std::string> {
    static std::string exportedData(const std::string& text) { return text; }
};

// `View.fileExporter(item:contentTypes:defaultFilename:onCompletion:)`: the save panel is up
// while `item` holds a value and exports that value; when it goes away the item is cleared.
// `onCompletion`, when given, hears the file written or the failure; a cancel is not reported.
template <class T>
platform::swiftui::View
fileExporter(platform::swiftui::View content, platform::swiftui::Binding<std::optional<T>> item,
             std::vector<std::string> contentTypes, std::string defaultFilename,
             std::function<void(const platform::swiftui::FileExportResult&)> onCompletion = {}) {
    using platform::swiftui::Binding;
    using platform::swiftui::View;
    // The item is read at each evaluation, not when the view is made.
    return View(View::Build(
        [content = std::move(content), item = std::move(item),
         contentTypes = std::move(contentTypes), defaultFilename = std::move(defaultFilename),
         onCompletion = std::move(onCompletion)](platform::swiftui::ViewContext& context,
                                                 platform::swiftui::Nodes& into) {
            const std::optional<T> value = item.get();
            std::optional<std::string> document;
            if (value) {
                document = Transferable<T>::exportedData(*value);
            }
            const Binding<bool> isPresented([item] { return item.get().has_value(); },
                                            [item](const bool& presented) {
                                                if (!presented) {
                                                    item.set(std::nullopt);
                                                }
                                            });
            content
                .fileExporter(isPresented, std::move(document), contentTypes, defaultFilename,
                              onCompletion)
                .build(context, into);
        }));
}

// `View.fileExporterShowingErrors(item:contentTypes:defaultFilename:)`: as `fileExporter`,
// and a failed export stays on screen as an alert until dismissed.
template <class T>
platform::swiftui::View fileExporterShowingErrors(platform::swiftui::View content,
                                                  platform::swiftui::Binding<std::optional<T>> item,
                                                  std::vector<std::string> contentTypes,
                                                  std::string defaultFilename) {
    using platform::swiftui::View;
    return View(View::Build(
        [content = std::move(content), item = std::move(item),
         contentTypes = std::move(contentTypes), defaultFilename = std::move(defaultFilename)](
            platform::swiftui::ViewContext& context, platform::swiftui::Nodes& into) {
            const auto failure =
                context.state<std::optional<platform::Error>>(".exportError", std::nullopt);
            const auto error = failure.binding();
            alertForError(fileExporter(content, item, contentTypes, defaultFilename,
                                       [error](const platform::swiftui::FileExportResult& result) {
                                           if (const auto* failed =
                                                   std::get_if<platform::Error>(&result)) {
                                               error.set(*failed);
                                           } else {
                                               error.set(std::nullopt);
                                           }
                                       }),
                          error)
                .build(context, into);
        }));
}

} // namespace zestrel
