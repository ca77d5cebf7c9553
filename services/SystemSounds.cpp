#include "services/SystemSounds.h"

#include "foundation/ErrorReporter.h"
#include "foundation/ErrorUserInfo.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/UTType.h"
#include "platform/system/NSDataAsset.h"
#include "services/TemporaryFileTracker.h"

#include <map>

namespace zestrel {
namespace {

const std::array<std::string, 14>& rawValues() {
    static const std::array<std::string, 14> values{"Basso", "Blow",   "Bottle",    "Frog", "Funk",
                                                    "Glass", "Hero",   "Morse",     "Ping", "Pop",
                                                    "Purr",  "Sosumi", "Submarine", "Tink"};
    return values;
}

// The temporary directory of each sound this process made, removed when the sound is
// disposed of (those of an ended process stay until the machine clears them).
struct SoundDirectories {
    platform::Mutex mutex;
    std::map<platform::SystemSoundID, std::shared_ptr<TemporaryDirectory>>
        directories GUARDED_BY(mutex);
};

platform::ProcessLocal<SoundDirectories>& soundDirectories() {
    static auto* const instance = new platform::ProcessLocal<SoundDirectories>();
    return *instance;
}

} // namespace

const std::string& rawValue(MacSystemSound sound) {
    return rawValues()[static_cast<std::size_t>(sound)];
}

std::optional<MacSystemSound> macSystemSound(std::string_view raw) {
    for (const MacSystemSound sound : kAllMacSystemSounds) {
        if (rawValue(sound) == raw) {
            return sound;
        }
    }
    return std::nullopt;
}

namespace {

// `reported` tells whether a thrown error was reported already.
platform::SystemSoundID createSound(const platform::Data& data, const std::string& typeIdentifier,
                                    bool& reported) {
    reported = false;
    const platform::UTType type =
        platform::UTType::withIdentifier(typeIdentifier).value_or(platform::UTType::data());
    auto directory = std::make_shared<TemporaryDirectory>(createUniqueTemporaryDirectory());
    const platform::URL file = platform::appendingPathComponent(directory->url(), "file", type);
    writeFileContents(file,
                      std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    TemporaryFileTracker::shared()->track(file);

    platform::SystemSoundID sound = 0;
    const platform::OSStatus status = platform::AudioServicesCreateSystemSoundID(file, sound);
    if (status != platform::kAudioServicesNoError) {
        const platform::Error error = appError("Failed to create system sound.");
        reportError(error);
        reported = true;
        throw error;
    }
    auto& state = *soundDirectories();
    platform::MutexLock lock(state.mutex);
    state.directories.insert_or_assign(sound, std::move(directory));
    return sound;
}

} // namespace

platform::SystemSoundID createSystemSound(const platform::Data& data,
                                          const std::string& typeIdentifier) {
    bool reported = false;
    return createSound(data, typeIdentifier, reported);
}

std::optional<platform::SystemSoundID>
createSystemSound(std::string_view dataAssetName,
                  const std::shared_ptr<const platform::Bundle>& bundle) {
    const auto asset = platform::NSDataAsset::named(dataAssetName, bundle);
    if (!asset) {
        reportError(appError("The data asset \"" + std::string(dataAssetName) + "\" is missing."));
        return std::nullopt;
    }
    if (!platform::UTType::withIdentifier(asset->typeIdentifier())) {
        reportError(appError("The data asset \"" + std::string(dataAssetName) +
                             "\" has an unknown type: " + asset->typeIdentifier()));
        return std::nullopt;
    }
    bool reported = false;
    try {
        return createSound(asset->data(), asset->typeIdentifier(), reported);
    } catch (const platform::Error& error) {
        if (!reported) {
            reportError(error);
        }
        return std::nullopt;
    }
}

void disposeSystemSound(platform::SystemSoundID sound) {
    platform::AudioServicesDisposeSystemSoundID(sound);
    std::shared_ptr<TemporaryDirectory> directory;
    {
        auto& state = *soundDirectories();
        platform::MutexLock lock(state.mutex);
        const auto found = state.directories.find(sound);
        if (found != state.directories.end()) {
            directory = std::move(found->second);
            state.directories.erase(found);
        }
    }
    // Released here, outside the lock: its destructor removes the folder.
}

void playAlertSound(platform::SystemSoundID sound, std::function<void()> completion) {
    platform::AudioServicesPlayAlertSoundWithCompletion(sound, std::move(completion));
}

void playSystemSound(platform::SystemSoundID sound, std::function<void()> completion) {
    platform::AudioServicesPlaySystemSoundWithCompletion(sound, std::move(completion));
}

void play(platform::SystemSoundID sound, bool alert, std::function<void()> completion) {
    auto done = [completion = std::move(completion)] {
        if (completion) {
            completion();
        }
    };
    if (alert) {
        playAlertSound(sound, std::move(done));
    } else {
        playSystemSound(sound, std::move(done));
    }
}

void playDataAssetSound(std::string_view dataAssetName,
                        const std::shared_ptr<const platform::Bundle>& bundle, bool alert,
                        std::function<void()> completion) {
    const auto sound = createSystemSound(dataAssetName, bundle);
    if (!sound) {
        if (completion) {
            completion();
        }
        return;
    }
    play(*sound, alert, [sound = *sound, completion = std::move(completion)] {
        disposeSystemSound(sound);
        if (completion) {
            completion();
        }
    });
}

} // namespace zestrel
