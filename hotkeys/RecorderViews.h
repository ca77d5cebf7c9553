#pragma once

#include "hotkeys/Recorder.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <string>

namespace zestrel::Hotkeys {

inline constexpr const char* kOptionOnlyWarningSymbol = "exclamationmark.triangle.fill";
inline constexpr const char* kOptionOnlyWarning =
    "Because of changes in macOS 15, shortcuts with only Option or Shift+Option as modifiers "
    "are no longer accepted. If you work at Apple → FB15168205";

// The recorder control in a declarative view. The control is made once for its place, with
// the name and the callback of that first evaluation; later evaluations hand it the name
// again, which changes its text only when the name is another one. Main thread only.
class RecorderRepresentable final : public platform::swiftui::View {
public:
    explicit RecorderRepresentable(Name name, RecorderCocoa::OnChange onChange = {});
};

// The recorder as a declarative view, with or without a label. Where the system refuses
// Option-only shortcuts (refusesOptionOnlyShortcuts), a warning symbol stands beside the
// control while the name's stored shortcut is one, its tooltip saying why.
struct Recorder {
    Name name;
    RecorderCocoa::OnChange onChange;
    bool hasLabel = false;
    platform::swiftui::View label;

    explicit Recorder(Name name, RecorderCocoa::OnChange onChange = {});
    // Labelled with a text.
    Recorder(std::string title, Name name, RecorderCocoa::OnChange onChange = {});
    // Labelled with the view `label` builds.
    Recorder(Name name, RecorderCocoa::OnChange onChange,
             const std::function<platform::swiftui::View()>& label);

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel::Hotkeys
