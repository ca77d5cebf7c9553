#pragma once

#include "platform/base/Bundle.h"
#include "platform/base/Value.h"
#include "platform/system/SystemSound.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel {

// The system's alert sounds, by name.
enum class MacSystemSound {
    basso,
    blow,
    bottle,
    frog,
    funk,
    glass,
    hero,
    morse,
    ping,
    pop,
    purr,
    sosumi,
    submarine,
    tink
};
inline constexpr std::array<MacSystemSound, 14> kAllMacSystemSounds{
    MacSystemSound::basso,     MacSystemSound::blow,  MacSystemSound::bottle,
    MacSystemSound::frog,      MacSystemSound::funk,  MacSystemSound::glass,
    MacSystemSound::hero,      MacSystemSound::morse, MacSystemSound::ping,
    MacSystemSound::pop,       MacSystemSound::purr,  MacSystemSound::sosumi,
    MacSystemSound::submarine, MacSystemSound::tink};
// "Sosumi".
const std::string& rawValue(MacSystemSound sound);
// Exact, case-sensitive match of the raw value.
std::optional<MacSystemSound> macSystemSound(std::string_view rawValue);

// Writes the data to "file.<the type's extension>" in a new temporary directory, tracks the
// file for deletion at termination, and registers it as a system sound. A status other
// than 0 is reported and thrown as "Failed to create system sound."; failures to make the
// directory or write the file are thrown.
platform::SystemSoundID createSystemSound(const platform::Data& data,
                                          const std::string& typeIdentifier);
// The sound of a data asset of the bundle. A missing asset, a type the system does not
// know or a failed creation is reported and gives nothing: a sound is never worth stopping
// the app for.
std::optional<platform::SystemSoundID>
createSystemSound(std::string_view dataAssetName,
                  const std::shared_ptr<const platform::Bundle>& bundle);

// Forgets the sound and removes the temporary directory its file was written to.
void disposeSystemSound(platform::SystemSoundID sound);

// Play with a completion (none when empty), run on the main run loop when the sound ends.
void playAlertSound(platform::SystemSoundID sound, std::function<void()> completion = {});
void playSystemSound(platform::SystemSoundID sound, std::function<void()> completion = {});
// The completion runs exactly once, when the sound has finished playing.
void play(platform::SystemSoundID sound, bool alert, std::function<void()> completion);

// One play of a data asset's sound, as the cut sound is played: made from the asset, played,
// and disposed of with its temporary directory once it has finished, so sounds played for
// hours do not pile up. When the sound cannot be made (reported), nothing plays and the
// completion runs at once.
void playDataAssetSound(std::string_view dataAssetName,
                        const std::shared_ptr<const platform::Bundle>& bundle, bool alert,
                        std::function<void()> completion = {});

} // namespace zestrel
