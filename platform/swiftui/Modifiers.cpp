#include "platform/appkit/NSSavePanel.h"
#include "platform/data/FileChangeGate.h"
#include "platform/desktop/Desktop.h"
#include "platform/swiftui/Presentation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/View.h"
#include "platform/system/URLOpener.h"

#include <fstream>
#include <utility>

namespace zestrel::platform::swiftui {

std::string KeyboardShortcut::text() const {
    std::string result;
    if (control) {
        result += "⌃";
    }
    if (option) {
        result += "⌥";
    }
    if (shift) {
        result += "⇧";
    }
    if (command) {
        result += "⌘";
    }
    return result + key;
}

EnvironmentValues EnvironmentValues::standard() {
    EnvironmentValues values;
    values.openURL = [](const URL& url) { URLOpener::open(url); };
    values.dismiss = [] {};
    values.colorScheme =
        Desktop::current()->darkAppearance() ? ColorScheme::dark : ColorScheme::light;
    return values;
}

View View::modifier(std::string name, std::string argument) const {
    return View(Build([content = *this, modifier = Modifier{std::move(name), std::move(argument)}](
                          ViewContext& context, Nodes& into) {
        Nodes built;
        content.build(context, built);
        for (const auto& node : built) {
            node->modifiers.push_back(modifier);
        }
        into.insert(into.end(), built.begin(), built.end());
    }));
}

View View::environment(std::function<void(EnvironmentValues&)> change) const {
    return View(
        Build([content = *this, change = std::move(change)](ViewContext& context, Nodes& into) {
            ViewContext inner = context.withEnvironment(change);
            content.build(inner, into);
        }));
}

View View::disabled(bool disabled) const {
    return environment([disabled](EnvironmentValues& values) {
        values.isEnabled = values.isEnabled && !disabled;
    });
}

View View::keyboardShortcut(KeyboardShortcut shortcut) const {
    return View(
        Build([content = *this, shortcut = std::move(shortcut)](ViewContext& context, Nodes& into) {
            Nodes built;
            content.build(context, built);
            for (const auto& node : visibleNodes(built)) {
                node->shortcut = shortcut;
                node->modifiers.push_back({"keyboardShortcut", shortcut.text()});
            }
            into.insert(into.end(), built.begin(), built.end());
        }));
}

View View::onAppear(std::function<void()> action) const {
    return View(
        Build([content = *this, action = std::move(action)](ViewContext& context, Nodes& into) {
            ViewContext inner = context.child("onAppear");
            content.build(inner, into);
            bool appeared = false;
            // A name no view property can have; the slot leaves with the view.
            context.slot<bool>(".onAppear", [&appeared] {
                appeared = true;
                return std::make_shared<bool>(true);
            });
            if (appeared) {
                context.afterUpdate(action);
            }
        }));
}

View View::onTapGesture(int count, std::function<void()> action) const {
    return View(Build(
        [content = *this, count, action = std::move(action)](ViewContext& context, Nodes& into) {
            Nodes built;
            content.build(context, built);
            for (const auto& node : visibleNodes(built)) {
                node->tapCount = count;
                node->tapAction = action;
            }
            into.insert(into.end(), built.begin(), built.end());
        }));
}

View View::onHover(std::function<void(bool)> action) const {
    return View(
        Build([content = *this, action = std::move(action)](ViewContext& context, Nodes& into) {
            Nodes built;
            content.build(context, built);
            for (const auto& node : visibleNodes(built)) {
                node->hoverAction = action;
            }
            into.insert(into.end(), built.begin(), built.end());
        }));
}

View View::popover(Binding<bool> isPresented, View content) const {
    return View(Build([anchor = *this, isPresented = std::move(isPresented),
                       content = std::move(content)](ViewContext& context, Nodes& into) {
        ViewContext inner = context.child("anchor");
        anchor.build(inner, into);
        if (!isPresented.get()) {
            return;
        }
        auto popover = std::make_shared<Node>();
        popover->kind = "Popover";
        popover->identity = context.path() + "/popover";
        ViewContext shown = context.child("popover");
        content.build(shown, popover->children);
        into.push_back(std::move(popover));
    }));
}

View View::alert(std::string title, Binding<bool> isPresented, std::vector<View> actions,
                 std::string message) const {
    return View(Build([content = *this, title = std::move(title),
                       isPresented = std::move(isPresented), actions = std::move(actions),
                       message = std::move(message)](ViewContext& context, Nodes& into) {
        ViewContext inner = context.child("alerted");
        content.build(inner, into);
        if (!isPresented.get()) {
            return;
        }
        auto alert = std::make_shared<Node>();
        alert->kind = "Alert";
        alert->label = title;
        alert->identity = context.path() + "/alert";
        if (!message.empty()) {
            Text(message).build(inner, alert->children);
        }
        Nodes buttons;
        ViewContext actionsContext = context.child("alert");
        for (std::size_t i = 0; i < actions.size(); ++i) {
            ViewContext item = actionsContext.child(std::to_string(i));
            actions[i].build(item, buttons);
        }
        if (visibleNodes(buttons).empty()) {
            auto ok = std::make_shared<Node>();
            ok->kind = "Button";
            ok->label = "OK";
            ok->identity = actionsContext.path() + "/OK";
            ok->action = [] {};
            buttons.push_back(ok);
        }
        for (const auto& button : visibleNodes(buttons)) {
            button->action = [own = button->action, isPresented] {
                if (own) {
                    own();
                }
                isPresented.set(false);
            };
        }
        detail::presentAsAlert(context, title, message, buttons);
        alert->children.insert(alert->children.end(), buttons.begin(), buttons.end());
        into.push_back(std::move(alert));
    }));
}

namespace {

// NSFileWriteUnknownError, with the place that could not be written.
Error fileWriteError(const URL& url) {
    return NSError::make(NSCocoaErrorDomain, 512, {{"NSFilePath", Value(url.path())}});
}

FileExportResult writeExport(const std::optional<std::string>& document, const URL& url) {
    if (!document || FileChangeGate::check()) {
        return fileWriteError(url);
    }
    std::ofstream file(url.path(), std::ios::binary | std::ios::trunc);
    file << *document;
    file.close();
    if (!file) {
        return fileWriteError(url);
    }
    return url;
}

} // namespace

View View::fileExporter(Binding<bool> isPresented, std::optional<std::string> document,
                        std::vector<std::string> contentTypes, std::string defaultFilename,
                        std::function<void(const FileExportResult&)> onCompletion) const {
    return View(Build([content = *this, isPresented = std::move(isPresented),
                       document = std::move(document), contentTypes = std::move(contentTypes),
                       defaultFilename = std::move(defaultFilename),
                       onCompletion = std::move(onCompletion)](ViewContext& context, Nodes& into) {
        ViewContext inner = context.child("exporting");
        content.build(inner, into);
        // The panel runs once a presentation, however often the view is built meanwhile.
        auto showing = context.slot<bool>(".fileExporter", [] { return std::make_shared<bool>(); });
        if (!isPresented.get()) {
            *showing = false;
            return;
        }
        if (*showing) {
            return;
        }
        *showing = true;
        // The panel starts where the views around the exporter ask, under their identifier.
        const EnvironmentValues dialog = context.environment();
        context.afterUpdate(
            [showing, isPresented, document, contentTypes, defaultFilename, onCompletion, dialog] {
                const auto panel = NSSavePanel::savePanel();
                panel->nameFieldStringValue = defaultFilename;
                panel->allowedContentTypes = contentTypes;
                panel->directoryURL = dialog.fileDialogDefaultDirectory;
                panel->identifier = dialog.fileDialogCustomizationID;
                const NSModalResponse response = panel->runModal();
                // Over: the next presentation may come before the view is evaluated again.
                *showing = false;
                isPresented.set(false);
                if (response != NSModalResponseOK || !panel->url()) {
                    return;
                }
                const FileExportResult result = writeExport(document, *panel->url());
                if (onCompletion) {
                    onCompletion(result);
                }
            });
    }));
}

View View::fileDialogDefaultDirectory(std::optional<URL> directory) const {
    const std::string shown = directory ? "\"" + directory->path() + "\"" : "nil";
    return environment([directory = std::move(directory)](EnvironmentValues& values) {
               values.fileDialogDefaultDirectory = directory;
           })
        .modifier("fileDialogDefaultDirectory", shown);
}

View View::fileDialogCustomizationID(std::string identifier) const {
    const std::string shown = "\"" + identifier + "\"";
    return environment([identifier = std::move(identifier)](EnvironmentValues& values) {
               values.fileDialogCustomizationID = identifier;
           })
        .modifier("fileDialogCustomizationID", shown);
}

View View::background(View behind) const {
    return View(
        Build([content = *this, behind = std::move(behind)](ViewContext& context, Nodes& into) {
            ViewContext front = context.child("content");
            content.build(front, into);
            ViewContext back = context.child("background");
            behind.build(back, into);
        }));
}

View View::contextMenu(std::vector<View> items) const {
    return View(
        Build([content = *this, items = std::move(items)](ViewContext& context, Nodes& into) {
            Nodes built;
            content.build(context, built);
            const Nodes visible = visibleNodes(built);
            if (!visible.empty()) {
                auto menu = std::make_shared<Node>();
                menu->kind = "ContextMenu";
                menu->identity = context.path() + "/contextMenu";
                ViewContext menuContext = context.child("contextMenu");
                for (std::size_t i = 0; i < items.size(); ++i) {
                    ViewContext item = menuContext.child(std::to_string(i));
                    items[i].build(item, menu->children);
                }
                visible.front()->children.push_back(std::move(menu));
            }
            into.insert(into.end(), built.begin(), built.end());
        }));
}

} // namespace zestrel::platform::swiftui
