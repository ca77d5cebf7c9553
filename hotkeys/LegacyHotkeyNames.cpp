#include "hotkeys/LegacyHotkeyNames.h"

#include "hotkeys/Hotkeys.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UserDefaults.h"

namespace zestrel::Hotkeys::Names {
namespace {

constexpr std::int64_t kCommand = 256;

struct LegacyNames {
    Name cut = Name::withoutEffects("cut", Shortcut(Key::x.rawValue, kCommand));
    Name paste = Name::withoutEffects("paste", Shortcut(Key::v.rawValue, kCommand));
    bool settled = false;
};

// The names exist before their defaults are stored: storing posts a change, and an
// observer of it that asks for a name must find it made rather than re-enter its making.
LegacyNames& names() {
    static auto* const local = new platform::ProcessLocal<LegacyNames>();
    auto& made = local->get();
    if (!made.settled) {
        made.settled = true;
        for (const Name* name : {&made.cut, &made.paste}) {
            if (platform::UserDefaults::standard()->object(name->storageKey()).isAbsent()) {
                storeShortcut(*name->defaultShortcut(), *name);
            }
        }
        observeMenuTracking();
    }
    return made;
}

} // namespace

const Name& cut() {
    return names().cut;
}

const Name& paste() {
    return names().paste;
}

} // namespace zestrel::Hotkeys::Names
