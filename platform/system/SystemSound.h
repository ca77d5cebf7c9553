#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zestrel::platform {

// The audio system's system sounds: a sound is registered from a sound file and played
// with a completion. Here a sound is "played" by recording the play; its completion runs on
// the main run loop once the sound's duration has passed on the process's clock. Sound
// identifiers belong to the process; the record of plays belongs to the machine, so it
// outlives the process that played (an end, a relaunch).
using SystemSoundID = std::uint32_t;
using OSStatus = std::int32_t;
using AudioServicesSystemSoundCompletion = std::function<void()>;

inline constexpr OSStatus kAudioServicesNoError = 0;
inline constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;
inline constexpr OSStatus kAudioFileFileNotFoundError = -43;
inline constexpr OSStatus kAudioFileUnsupportedFileTypeError = 0x7479703f; // 'typ?'

// Registers the sound file at the URL. Sound files are read when registered: WAV (PCM) is
// understood, other contents are 'typ?' and a missing or unreadable file is -43.
OSStatus AudioServicesCreateSystemSoundID(const URL& fileURL, SystemSoundID& outSystemSoundID);
// Forgets the sound; a play already started still completes.
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID sound);
// An empty completion plays without one. An unknown sound plays nothing; its completion
// still runs on the main run loop, so nobody waits for ever.
void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID sound,
                                                AudioServicesSystemSoundCompletion completion);
void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID sound,
                                               AudioServicesSystemSoundCompletion completion);

// The audio system's side, for tests and the console.
struct SystemSoundPlay {
    SystemSoundID sound = 0;
    URL file;
    bool alert = false;
    // The clock's uptime when the play started.
    Nanoseconds startedAt{0};
    Nanoseconds duration{0};
};

class SystemSoundServer {
public:
    // The plays kept, so a long session keeps its memory: the last `kKeptPlays`.
    static constexpr std::size_t kKeptPlays = 10'000;
    // The last `kKeptPlays` plays on this machine, oldest first.
    static std::vector<SystemSoundPlay> plays();
    // Every play so far on this machine, also those no longer kept.
    static std::uint64_t playCount();
    // A fresh machine's record, with no play: what each test starts from.
    static void forgetPlays();
    // The sounds this process registered and has not disposed of.
    static std::vector<SystemSoundID> registeredSounds();
    static std::optional<URL> fileOfSound(SystemSoundID sound);
    // The next `count` registrations fail with `status`, whatever the file.
    static void failNextCreations(OSStatus status, int count = 1);
};

} // namespace zestrel::platform
