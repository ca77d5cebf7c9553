#include "services/TemporaryFileTracker.h"

#include "foundation/FileOperations.h"
#include "platform/base/CocoaError.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/FileChangeGate.h"
#include "platform/data/NSFileManager.h"
#include "services/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace zestrel {
namespace {

constexpr const char* kWillTerminateNotification = "NSApplicationWillTerminateNotification";

} // namespace

std::shared_ptr<TemporaryFileTracker> TemporaryFileTracker::shared() {
    static auto* const instance =
        new platform::ProcessLocal<std::shared_ptr<TemporaryFileTracker>>([] {
            std::shared_ptr<TemporaryFileTracker> tracker(new TemporaryFileTracker());
            tracker->subscribe();
            return std::make_unique<std::shared_ptr<TemporaryFileTracker>>(std::move(tracker));
        });
    return **instance;
}

TemporaryFileTracker::TemporaryFileTracker() = default;

TemporaryFileTracker::~TemporaryFileTracker() {
    if (auto center = center_.lock(); center && cancellable_) {
        center->removeObserver(cancellable_);
    }
}

void TemporaryFileTracker::subscribe() {
    const auto center = platform::NotificationCenter::defaultCenter();
    center_ = center;
    std::weak_ptr<TemporaryFileTracker> weakSelf = weak_from_this();
    cancellable_ = center->addObserver(kWillTerminateNotification, platform::Value(),
                                       [weakSelf](const platform::Notification&) {
                                           if (auto self = weakSelf.lock()) {
                                               self->deleteTrackedFiles();
                                           }
                                       });
}

void TemporaryFileTracker::track(const platform::URL& url) {
    std::weak_ptr<TemporaryFileTracker> weakSelf = weak_from_this();
    queue_.async([weakSelf, url] {
        if (auto self = weakSelf.lock()) {
            self->urls_.insert(url);
        }
    });
}

std::set<platform::URL> TemporaryFileTracker::trackedURLs() const {
    // Read on the queue: it waits for pending insertions and never races one.
    return queue_.sync([this] { return urls_; });
}

void TemporaryFileTracker::deleteTrackedFiles() {
    auto& manager = platform::NSFileManager::defaultManager();
    for (const auto& url : trackedURLs()) {
        try {
            manager.removeItemAtURL(url);
        } catch (const platform::Error&) {
            // Already gone, or not ours to remove: the next one still goes.
        }
    }
}

TemporaryDirectory::~TemporaryDirectory() {
    try {
        platform::NSFileManager::defaultManager().removeItemAtURL(url_);
    } catch (const platform::Error&) {
    }
}

platform::URL createUniqueTemporaryDirectory(const std::optional<platform::URL>& appropriateFor) {
    auto& manager = platform::NSFileManager::defaultManager();
    const platform::URL reference = appropriateFor.value_or(manager.temporaryDirectory());
    try {
        return manager.URLForDirectory(platform::NSSearchPathDirectory::itemReplacementDirectory,
                                       platform::NSSearchPathDomainMask::userDomainMask, reference,
                                       true);
    } catch (const platform::Error& error) {
        reportTypedError(error, {{"url", platform::Value(reference)}});
        return makeFallbackTemporaryDirectory();
    }
}

platform::URL makeFallbackTemporaryDirectory() {
    const platform::URL url =
        platform::NSFileManager::defaultManager().temporaryDirectory().appendingPathComponent(
            platform::UUID::random().uuidString(), true);
    createDirectory(url, true);
    return url;
}

void writeFileContents(const platform::URL& file, std::string_view bytes) {
    if (const std::error_code refused = platform::FileChangeGate::check()) {
        throw platform::fileError(platform::NSFileWriteUnknownError, file, refused.value());
    }
    errno = 0;
    std::ofstream stream(file.path(), std::ios::binary | std::ios::trunc);
    if (stream) {
        stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    // The bytes may wait in the stream's buffer until the close, so only a clean close says
    // they reached the file: a full disk shows there.
    if (stream.is_open()) {
        stream.close();
    }
    if (!stream) {
        const int code = errno != 0 ? errno : EIO;
        throw platform::fileError(platform::NSFileWriteUnknownError, file, code);
    }
}

platform::URL writeToUniqueTemporaryFile(const std::string& text,
                                         const std::optional<std::string>& filename,
                                         const platform::UTType& contentType) {
    const platform::URL directory = createUniqueTemporaryDirectory();
    const platform::URL file =
        platform::appendingPathComponent(directory, filename.value_or("file"), contentType);
    writeFileContents(file, text);
    return file;
}

} // namespace zestrel
