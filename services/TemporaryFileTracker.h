#pragma once

#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/Value.h"
#include "platform/data/UTType.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace zestrel {

// Temporary files to delete when the app terminates. Insertions run on the tracker's
// serial queue; at "NSApplicationWillTerminateNotification" every tracked URL is removed
// (failures ignored). Files of a process that ends without that notice stay behind.
class TemporaryFileTracker : public std::enable_shared_from_this<TemporaryFileTracker> {
public:
    static std::shared_ptr<TemporaryFileTracker> shared();

    TemporaryFileTracker(const TemporaryFileTracker&) = delete;
    TemporaryFileTracker& operator=(const TemporaryFileTracker&) = delete;
    ~TemporaryFileTracker();

    // Returns at once; the URL joins the set on the queue.
    void track(const platform::URL& url);
    // The set as it is once every insertion asked for so far has run.
    std::set<platform::URL> trackedURLs() const;

private:
    TemporaryFileTracker();
    void subscribe();
    void deleteTrackedFiles();

    mutable platform::DispatchQueue queue_{"TemporaryFileTracker.queue"};
    std::set<platform::URL> urls_; // touched on `queue_` only
    std::weak_ptr<platform::NotificationCenter> center_;
    platform::ObserverToken cancellable_;
};

// A directory removed, with what it holds, when its owner releases it (failures ignored). One
// an ended process held stays: its objects change no file as they go.
class TemporaryDirectory {
public:
    explicit TemporaryDirectory(platform::URL url) : url_(std::move(url)) {}
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
    ~TemporaryDirectory();

    const platform::URL& url() const { return url_; }

private:
    platform::URL url_;
};

// A new, empty directory for temporary items, appropriate for the URL (the temporary
// directory when none is given). When the system cannot make one, the failure is reported
// and a directory from `makeFallbackTemporaryDirectory` is answered; only its failure is
// thrown.
platform::URL
createUniqueTemporaryDirectory(const std::optional<platform::URL>& appropriateFor = std::nullopt);
// The temporary directory with a new upper-case UUID component, created.
platform::URL makeFallbackTemporaryDirectory();
// Writes `bytes` to the file, replacing what it held. Throws NSFileWriteUnknownError (the
// path, the URL and the POSIX error under it) unless every byte reached the file.
void writeFileContents(const platform::URL& file, std::string_view bytes);
// Writes the text as UTF-8 to "<filename or file>.<type's extension>" in a new temporary
// directory and answers its URL. The file is not tracked. Throws as writeFileContents.
platform::URL writeToUniqueTemporaryFile(const std::string& text,
                                         const std::optional<std::string>& filename,
                                         const platform::UTType& contentType);

} // namespace zestrel
