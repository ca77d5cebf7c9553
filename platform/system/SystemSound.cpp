#include "platform/system/SystemSound.h"

#include "platform/base/MachineLocal.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"

#include <deque>
#include <fstream>
#include <iterator>
#include <map>

namespace zestrel::platform {
namespace {

struct Sound {
    URL file;
    Nanoseconds duration{0};
};

// The process's sounds: registrations end with it.
struct Server {
    Mutex mutex;
    SystemSoundID nextID GUARDED_BY(mutex) = 4096; // the system's own sounds sit below
    std::map<SystemSoundID, Sound> sounds GUARDED_BY(mutex);
    OSStatus failureStatus GUARDED_BY(mutex) = kAudioServicesNoError;
    int failuresLeft GUARDED_BY(mutex) = 0;
};

ProcessLocal<Server>& server() {
    static auto* const instance = new ProcessLocal<Server>();
    return *instance;
}

// What the machine heard: it outlives every process that played.
struct PlayRecord {
    Mutex mutex;
    std::deque<SystemSoundPlay> plays GUARDED_BY(mutex);
    std::uint64_t count GUARDED_BY(mutex) = 0;
};

MachineLocal<PlayRecord>& playRecord() {
    static auto* const local = new MachineLocal<PlayRecord>; // used until the very end
    return *local;
}

std::uint32_t littleEndian(const Data& bytes, std::size_t offset, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < size; ++index) {
        value |= std::uint32_t{bytes[offset + index]} << (8 * index);
    }
    return value;
}

// The length of a RIFF/WAVE file from its byte rate and the size of its data chunk.
std::optional<Nanoseconds> waveDuration(const Data& bytes) {
    auto tagAt = [&](std::size_t offset, const char* tag) {
        return offset + 4 <= bytes.size() && std::equal(tag, tag + 4, bytes.begin() + offset);
    };
    if (!tagAt(0, "RIFF") || !tagAt(8, "WAVE")) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> byteRate;
    std::optional<std::uint32_t> dataSize;
    std::size_t offset = 12;
    while (offset + 8 <= bytes.size()) {
        const std::uint32_t size = littleEndian(bytes, offset + 4, 4);
        if (tagAt(offset, "fmt ") && size >= 16 && offset + 8 + 16 <= bytes.size()) {
            if (littleEndian(bytes, offset + 8, 2) != 1) {
                return std::nullopt; // PCM only
            }
            byteRate = littleEndian(bytes, offset + 8 + 8, 4);
        } else if (tagAt(offset, "data")) {
            dataSize = size;
        }
        offset += 8 + std::size_t{size} + (size % 2);
    }
    if (!byteRate || !dataSize || *byteRate == 0) {
        return std::nullopt;
    }
    return Nanoseconds(static_cast<std::int64_t>(*dataSize) * 1'000'000'000 / *byteRate);
}

void play(SystemSoundID sound, bool alert, AudioServicesSystemSoundCompletion completion) {
    std::optional<SystemSoundPlay> played;
    {
        auto& state = *server();
        MutexLock lock(state.mutex);
        const auto found = state.sounds.find(sound);
        if (found != state.sounds.end()) {
            played = SystemSoundPlay{sound, found->second.file, alert, clock().uptime(),
                                     found->second.duration};
        }
    }
    // What is left of an ended process's code plays nothing the machine would hear.
    if (played && !ProcessTeardown::hasEnded()) {
        const auto record = playRecord().current();
        MutexLock lock(record->mutex);
        record->plays.push_back(*played);
        ++record->count;
        if (record->plays.size() > SystemSoundServer::kKeptPlays) {
            record->plays.pop_front();
        }
    }
    if (!completion) {
        return;
    }
    if (played) {
        RunLoop::main().asyncAt(played->startedAt + played->duration, std::move(completion));
    } else {
        RunLoop::main().async(std::move(completion));
    }
}

} // namespace

OSStatus AudioServicesCreateSystemSoundID(const URL& fileURL, SystemSoundID& outSystemSoundID) {
    auto& state = *server();
    {
        MutexLock lock(state.mutex);
        if (state.failuresLeft > 0) {
            --state.failuresLeft;
            return state.failureStatus;
        }
    }
    if (!fileURL.isFileURL()) {
        return kAudioFileFileNotFoundError;
    }
    std::ifstream stream(fileURL.path(), std::ios::binary);
    if (!stream) {
        return kAudioFileFileNotFoundError;
    }
    const Data bytes{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    const auto duration = waveDuration(bytes);
    if (!duration) {
        return kAudioFileUnsupportedFileTypeError;
    }
    MutexLock lock(state.mutex);
    const SystemSoundID sound = state.nextID++;
    state.sounds.emplace(sound, Sound{fileURL, *duration});
    outSystemSoundID = sound;
    return kAudioServicesNoError;
}

OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID sound) {
    auto& state = *server();
    MutexLock lock(state.mutex);
    return state.sounds.erase(sound) == 1 ? kAudioServicesNoError
                                          : kAudioServicesSystemSoundUnspecifiedError;
}

void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID sound,
                                                AudioServicesSystemSoundCompletion completion) {
    play(sound, false, std::move(completion));
}

void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID sound,
                                               AudioServicesSystemSoundCompletion completion) {
    play(sound, true, std::move(completion));
}

std::vector<SystemSoundPlay> SystemSoundServer::plays() {
    const auto record = playRecord().current();
    MutexLock lock(record->mutex);
    return {record->plays.begin(), record->plays.end()};
}

std::uint64_t SystemSoundServer::playCount() {
    const auto record = playRecord().current();
    MutexLock lock(record->mutex);
    return record->count;
}

void SystemSoundServer::forgetPlays() {
    playRecord().setCurrent(nullptr);
}

std::vector<SystemSoundID> SystemSoundServer::registeredSounds() {
    auto& state = *server();
    MutexLock lock(state.mutex);
    std::vector<SystemSoundID> sounds;
    for (const auto& entry : state.sounds) {
        sounds.push_back(entry.first);
    }
    return sounds;
}

std::optional<URL> SystemSoundServer::fileOfSound(SystemSoundID sound) {
    auto& state = *server();
    MutexLock lock(state.mutex);
    const auto found = state.sounds.find(sound);
    if (found == state.sounds.end()) {
        return std::nullopt;
    }
    return found->second.file;
}

void SystemSoundServer::failNextCreations(OSStatus status, int count) {
    auto& state = *server();
    MutexLock lock(state.mutex);
    state.failureStatus = status;
    state.failuresLeft = count;
}

} // namespace zestrel::platform
