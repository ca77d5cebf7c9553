#include "platform/data/UserDefaults.h"
#include "platform/base/Mutex.h"

#include "platform/base/Bundle.h"
#include "platform/base/Clock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/Error.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/RunLoop.h"
#include "platform/base/UnifiedLog.h"
#include "platform/data/FileSafety.h"
#include "platform/data/PropertyList.h"
#include "platform/data/UserDirectories.h"

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <map>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

std::string mainBundleIdentifier() {
    return Bundle::main()->bundleIdentifier().value_or("com.quorvik.Zestrel");
}

void logError(const std::string& message) {
    osLog(OSLog{"com.quorvik.Zestrel", "general"}, OSLogType::error, message);
}

fs::path preferencesFolder() {
    return xdgConfigHome() / "zestrel" / "Preferences";
}

// A domain name becomes a file name, so it must be a plain one.
bool isValidDomainName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string_view::npos;
}

// MARK: Conversions

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string numberText(const Value& value) {
    if (const auto flag = value.asBool()) {
        return *flag ? "1" : "0";
    }
    if (value.kind() == Value::Kind::integer) {
        return std::to_string(*value.asInt64());
    }
    if (value.kind() == Value::Kind::unsignedInteger) {
        return std::to_string(*value.asUInt64());
    }
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, *value.asDouble());
    return std::string(text, result.ptr);
}

// The leading integer of a text: white space, a sign, digits; clamped on overflow.
std::int64_t leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t magnitude = 0;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 63 : std::uint64_t{std::numeric_limits<std::int64_t>::max()};
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        magnitude = magnitude > (limit - digit) / 10 ? limit : magnitude * 10 + digit;
    }
    return negative ? static_cast<std::int64_t>(0 - magnitude)
                    : static_cast<std::int64_t>(magnitude);
}

// The leading number of a text: white space, a sign, then a decimal number.
double leadingDouble(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !(text[i] == '.' || (text[i] >= '0' && text[i] <= '9'))) {
        return 0;
    }
    double value = 0;
    const auto result = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (result.ec == std::errc::invalid_argument) {
        return 0;
    }
    return negative ? -value : value;
}

bool textIsTrue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    while (i < text.size() && text[i] == '0') {
        ++i;
    }
    if (i >= text.size()) {
        return false;
    }
    const char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::int64_t truncated(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -9223372036854775808.0) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

} // namespace

// MARK: The database

namespace detail {

// The persistent domains of the process: loaded from their files on first use, written
// back coalesced. Shared by every suite object, so the global domain is one.
class DefaultsDatabase : public std::enable_shared_from_this<DefaultsDatabase> {
public:
    explicit DefaultsDatabase(fs::path folder) : folder_(std::move(folder)) {}

    fs::path fileFor(std::string_view domain) const {
        return folder_ / (std::string(domain) + ".plist");
    }

    // Reads the domain's file unless it is already in memory. Never holds the state's
    // lock while reading or logging.
    void ensureLoaded(const std::string& name) {
        std::string warning;
        {
            MutexLock loading(loadMutex_);
            {
                MutexLock lock(mutex_);
                if (domains_.count(name) != 0) {
                    return;
                }
            }
            Domain domain = load(name, warning);
            MutexLock lock(mutex_);
            domains_.emplace(name, std::move(domain));
        }
        if (!warning.empty()) {
            logError(warning);
        }
    }

    std::optional<Value> lookup(const std::string& domain, std::string_view key) const {
        MutexLock lock(mutex_);
        const auto found = domains_.find(domain);
        if (found == domains_.end()) {
            return std::nullopt;
        }
        const auto entry = found->second.values.find(std::string(key));
        if (entry == found->second.values.end()) {
            return std::nullopt;
        }
        return entry->second;
    }

    Value::Dictionary values(const std::string& domain) const {
        MutexLock lock(mutex_);
        const auto found = domains_.find(domain);
        return found == domains_.end() ? Value::Dictionary{} : found->second.values;
    }

    // Changes a loaded domain with `edit` and schedules the write.
    template <class Edit> void update(const std::string& domain, Edit&& edit) {
        bool schedule = false;
        {
            MutexLock lock(mutex_);
            Domain& entry = domains_[domain];
            edit(entry.values);
            entry.dirty = true;
            if (!flushScheduled_) {
                flushScheduled_ = true;
                schedule = true;
            }
        }
        if (schedule) {
            scheduleFlush();
        }
    }

    // Writes the domain's file now as `edit` leaves the domain, which stays as it is in memory
    // (`update` makes the edit there). Answers why it could not be written.
    template <class Edit>
    std::optional<std::string> writeEdited(const std::string& name, Edit&& edit) {
        MutexLock writing(writeMutex_);
        Value::Dictionary values;
        {
            MutexLock lock(mutex_);
            const Domain& domain = domains_[name];
            if (!domain.writable) {
                return "it could not be read, so it is kept as it is";
            }
            values = domain.values;
        }
        edit(values);
        try {
            if (writeFileAtomically(fileFor(name), PropertyList::encodeBinary(values))) {
                return errnoText(errno);
            }
        } catch (const Error& error) {
            return error.localizedDescription();
        }
        ++writes_;
        MutexLock lock(mutex_);
        domains_[name].failure = std::nullopt;
        return std::nullopt;
    }

    // Writes every changed domain; false when one could not be written (it stays pending).
    bool flush() {
        MutexLock writing(writeMutex_);
        return flushWhileWriting();
    }

    // The last write, as the process ends or dies: it waits for another thread's write,
    // but does not start one inside a write of its own thread (a `fatal()` there).
    void flushBeforeDying() {
        if (writingThread_.load() == std::this_thread::get_id()) {
            return;
        }
        MutexLock writing(writeMutex_);
        flushWhileWriting();
    }

    std::uint64_t writes() const { return writes_; }

    std::optional<std::string> failureOf(const std::string& domain) const {
        MutexLock lock(mutex_);
        const auto found = domains_.find(domain);
        return found == domains_.end() ? std::nullopt : found->second.failure;
    }

private:
    struct Domain {
        Value::Dictionary values;
        bool dirty = false;
        // False when a file is there that could not be read: it is never replaced.
        bool writable = true;
        // Why the last attempt to write it failed; nothing once it was written. A domain that
        // keeps failing says so once, not at every attempt.
        std::optional<std::string> failure = std::nullopt;
    };

    bool flushWhileWriting() REQUIRES(writeMutex_) {
        writingThread_.store(std::this_thread::get_id());
        const struct Done {
            std::atomic<std::thread::id>& thread;
            ~Done() { thread.store(std::thread::id()); }
        } done{writingThread_};

        std::vector<std::pair<std::string, Value::Dictionary>> pending;
        std::vector<std::string> failures;
        bool succeeded = true;
        {
            MutexLock lock(mutex_);
            flushScheduled_ = false;
            for (auto& [name, domain] : domains_) {
                if (!domain.dirty) {
                    continue;
                }
                if (domain.writable) {
                    pending.emplace_back(name, domain.values);
                    domain.dirty = false;
                    continue;
                }
                succeeded = false;
                const bool reported = domain.failure.has_value();
                domain.failure =
                    fmt::format("the file {} could not be read, so it is kept as it is",
                                fileFor(name).string());
                if (!reported) {
                    failures.push_back(fmt::format("Could not write the preferences of {}: {}",
                                                   name, *domain.failure));
                }
            }
        }
        for (const auto& [name, values] : pending) {
            std::optional<std::string> failure;
            try {
                failure = writeFileAtomically(fileFor(name), PropertyList::encodeBinary(values));
            } catch (const Error& error) {
                failure = error.localizedDescription();
            }
            MutexLock lock(mutex_);
            Domain& domain = domains_[name];
            const bool reported = std::exchange(domain.failure, failure).has_value();
            if (!failure) {
                ++writes_;
                continue;
            }
            succeeded = false;
            domain.dirty = true;
            if (!reported) {
                failures.push_back(
                    fmt::format("Could not write the preferences of {}: {}", name, *failure));
            }
        }
        for (const std::string& failure : failures) {
            logError(failure);
        }
        return succeeded;
    }

    Domain load(const std::string& name, std::string& warning) const {
        const fs::path path = fileFor(name);
        // Nothing of this process writes the domain yet, so temporaries are a dead write's.
        removeStaleTemporaryFiles(path);
        std::error_code error;
        const auto size = fs::file_size(path, error);
        if (error) {
            if (error == std::errc::no_such_file_or_directory) {
                return {};
            }
            warning = fmt::format("Could not read the preferences file {}: {}; its values are "
                                  "not used and it will not be replaced",
                                  path.string(), error.message());
            return Domain{{}, false, false};
        }
        Data bytes(size);
        {
            FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
            std::size_t done = 0;
            while (file.get() >= 0 && done < bytes.size()) {
                const ssize_t count = ::read(file.get(), bytes.data() + done, bytes.size() - done);
                if (count < 0 && errno == EINTR) {
                    continue;
                }
                if (count <= 0) {
                    break;
                }
                done += static_cast<std::size_t>(count);
            }
            if (file.get() < 0 || done != bytes.size()) {
                warning = fmt::format("Could not read the preferences file {}: {}; its values "
                                      "are not used and it will not be replaced",
                                      path.string(), errnoText(errno));
                return Domain{{}, false, false};
            }
        }
        try {
            Value root = PropertyList::decode(bytes);
            if (const auto* dictionary = root.asDictionary()) {
                return Domain{*dictionary, false, true};
            }
        } catch (const Error&) {
        }
        const auto aside = moveFileAside(path);
        if (!aside) {
            warning = fmt::format("The preferences file {} is damaged and could not be moved "
                                  "aside; its values are not used and it will not be replaced",
                                  path.string());
            return Domain{{}, false, false};
        }
        warning = fmt::format("The preferences file {} is damaged; it was moved to {} and the "
                              "domain {} starts empty",
                              path.string(), aside->string(), name);
        return {};
    }

    void scheduleFlush();

    const fs::path folder_;
    Mutex loadMutex_;
    Mutex writeMutex_;
    std::atomic<std::thread::id> writingThread_;
    mutable Mutex mutex_;
    std::map<std::string, Domain, std::less<>> domains_ GUARDED_BY(mutex_);
    bool flushScheduled_ GUARDED_BY(mutex_) = false;
    std::atomic<std::uint64_t> writes_{0};
};

void DefaultsDatabase::scheduleFlush() {
    // One write at the end of the run-loop turn serves every change made until then, also
    // while a main-queue block waits on an alert.
    RunLoop::main().performBlock([weak = weak_from_this()] {
        if (const auto database = weak.lock()) {
            database->flush();
        }
    });
}

} // namespace detail

namespace {

void flushBeforeProcessEnds();

// The suites of the process. Ending the process, by an exit, a `fatal()` or a simulated
// relaunch, writes what is pending.
struct DefaultsProcess {
    DefaultsProcess() {
        static const bool hooked = [] {
            std::atexit(flushBeforeProcessEnds);
            addFatalHook(flushBeforeProcessEnds);
            return true;
        }();
        (void)hooked;
    }
    ~DefaultsProcess() { database->flush(); }

    std::shared_ptr<detail::DefaultsDatabase> database =
        std::make_shared<detail::DefaultsDatabase>(preferencesFolder());
    Mutex mutex;
    std::map<std::string, std::shared_ptr<UserDefaults>, std::less<>> suites GUARDED_BY(mutex);
};

ProcessLocal<DefaultsProcess>& defaultsProcess() {
    static auto* const local = new ProcessLocal<DefaultsProcess>(); // lives as long as the process
    return *local;
}

void flushBeforeProcessEnds() {
    if (defaultsProcess().exists()) {
        defaultsProcess()->database->flushBeforeDying();
    }
}

} // namespace

// MARK: UserDefaults

std::shared_ptr<UserDefaults> UserDefaults::make(std::string domainName) {
    DefaultsProcess& process = defaultsProcess().get();
    {
        MutexLock lock(process.mutex);
        if (const auto found = process.suites.find(domainName); found != process.suites.end()) {
            return found->second;
        }
    }
    // Made outside the lock: making one reads its files and may log.
    auto made = std::make_shared<UserDefaults>(Passkey{}, domainName, process.database);
    MutexLock lock(process.mutex);
    auto& slot = process.suites[domainName];
    if (!slot) {
        slot = std::move(made);
    }
    return slot;
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    return make(mainBundleIdentifier());
}

std::shared_ptr<UserDefaults> UserDefaults::suite(std::string_view name) {
    if (!isValidDomainName(name) || name == NSGlobalDomain || name == mainBundleIdentifier()) {
        return nullptr;
    }
    return make(std::string(name));
}

void UserDefaults::flushAll() {
    if (defaultsProcess().exists()) {
        defaultsProcess()->database->flush();
    }
}

std::uint64_t UserDefaults::fileWriteCount() {
    return defaultsProcess()->database->writes();
}

UserDefaults::UserDefaults(Passkey, std::string domainName,
                           std::shared_ptr<detail::DefaultsDatabase> database)
    : domainName_(std::move(domainName)), database_(std::move(database)),
      observers_(*this, [this](const std::string& key) { return object(key); }) {
    database_->ensureLoaded(domainName_);
    database_->ensureLoaded(NSGlobalDomain);
}

UserDefaults::~UserDefaults() = default;

// MARK: Reading

Value UserDefaults::registered(const std::string& key) const {
    MutexLock lock(registrationMutex_);
    const auto found = registration_.find(key);
    return found == registration_.end() ? Value() : found->second;
}

Value UserDefaults::object(std::string_view key) const {
    if (auto value = database_->lookup(domainName_, key)) {
        return *value;
    }
    if (auto value = database_->lookup(NSGlobalDomain, key)) {
        return *value;
    }
    return registered(std::string(key));
}

std::optional<std::string> UserDefaults::string(std::string_view key) const {
    const Value value = object(key);
    if (const auto* text = value.asString()) {
        return *text;
    }
    if (value.isNumber() || value.kind() == Value::Kind::boolean) {
        return numberText(value);
    }
    return std::nullopt;
}

std::int64_t UserDefaults::integer(std::string_view key) const {
    const Value value = object(key);
    switch (value.kind()) {
    case Value::Kind::boolean:
        return *value.asBool() ? 1 : 0;
    case Value::Kind::integer:
        return *value.asInt64();
    case Value::Kind::unsignedInteger:
        return static_cast<std::int64_t>(*value.asUInt64());
    case Value::Kind::real:
        return truncated(*value.asDouble());
    case Value::Kind::string:
        return leadingInteger(*value.asString());
    default:
        return 0;
    }
}

double UserDefaults::doubleValue(std::string_view key) const {
    const Value value = object(key);
    switch (value.kind()) {
    case Value::Kind::boolean:
        return *value.asBool() ? 1 : 0;
    case Value::Kind::integer:
        return static_cast<double>(*value.asInt64());
    case Value::Kind::unsignedInteger:
        return static_cast<double>(*value.asUInt64());
    case Value::Kind::real:
        return *value.asDouble();
    case Value::Kind::string:
        return leadingDouble(*value.asString());
    default:
        return 0;
    }
}

bool UserDefaults::boolValue(std::string_view key) const {
    const Value value = object(key);
    switch (value.kind()) {
    case Value::Kind::boolean:
        return *value.asBool();
    case Value::Kind::integer:
        return *value.asInt64() != 0;
    case Value::Kind::unsignedInteger:
        return *value.asUInt64() != 0;
    case Value::Kind::real:
        return *value.asDouble() != 0;
    case Value::Kind::string:
        return textIsTrue(*value.asString());
    default:
        return false;
    }
}

std::optional<Data> UserDefaults::data(std::string_view key) const {
    const Value value = object(key);
    return value.asData() ? std::optional<Data>(*value.asData()) : std::nullopt;
}

std::optional<Value::Array> UserDefaults::array(std::string_view key) const {
    const Value value = object(key);
    return value.asArray() ? std::optional<Value::Array>(*value.asArray()) : std::nullopt;
}

std::optional<Value::Dictionary> UserDefaults::dictionary(std::string_view key) const {
    const Value value = object(key);
    return value.asDictionary() ? std::optional<Value::Dictionary>(*value.asDictionary())
                                : std::nullopt;
}

std::optional<std::vector<std::string>> UserDefaults::stringArray(std::string_view key) const {
    const Value value = object(key);
    const auto* elements = value.asArray();
    if (elements == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> strings;
    for (const Value& element : *elements) {
        const auto* text = element.asString();
        if (text == nullptr) {
            return std::nullopt;
        }
        strings.push_back(*text);
    }
    return strings;
}

std::optional<URL> UserDefaults::url(std::string_view key) const {
    const Value value = object(key);
    const auto* text = value.asString();
    if (text == nullptr || text->empty()) {
        return std::nullopt;
    }
    if (auto parsed = URL::parse(*text)) {
        return parsed;
    }
    std::string path = *text;
    if (path == "~" || path.starts_with("~/")) {
        path = homeDirectory().string() + path.substr(1);
    }
    return URL::fileURL(path);
}

// MARK: Writing

namespace {

void checkStorable(const Value& value, const std::string& key) {
    // The key goes into the domain's list as well: one that a list cannot hold would make
    // every later write of the domain fail, so it is refused as a bad value is (and shown
    // escaped, since a NUL would cut the message).
    const bool keyIsValid = PropertyList::isValid(Value(key));
    if (!keyIsValid || !PropertyList::isValid(value)) {
        fatal(fmt::format("Attempt to insert non-property list object {} for key {}",
                          value.describe(), keyIsValid ? key : Value(key).debugDescribe()));
    }
}

} // namespace

void UserDefaults::change(const std::vector<std::string>& keys,
                          const std::function<void()>& mutate) {
    // What an ended process's code still asks from a thread of its own changes nothing.
    if (ProcessTeardown::refuses()) {
        return;
    }
    observers_.performChange(keys, mutate);
    NotificationCenter::defaultCenter()->post(UserDefaultsDidChangeNotification,
                                              Value(shared_from_this()));
}

void UserDefaults::setObject(const Value& input, std::string_view key) {
    const Value& value = input.flattened();
    if (value.isAbsent()) {
        removeObject(key);
        return;
    }
    const std::string name(key);
    checkStorable(value, name);
    change({name}, [&] {
        database_->update(domainName_,
                          [&](Value::Dictionary& values) { values.insert_or_assign(name, value); });
    });
}

std::optional<std::string> UserDefaults::store(const Value& input, std::string_view key) {
    const Value& value = input.flattened();
    const std::string name(key);
    if (!value.isAbsent()) {
        checkStorable(value, name);
    }
    if (ProcessTeardown::refuses()) {
        return std::string("its process has ended");
    }
    const auto edit = [&](Value::Dictionary& values) {
        if (value.isAbsent()) {
            values.erase(name);
        } else {
            values.insert_or_assign(name, value);
        }
    };
    if (auto failure = database_->writeEdited(domainName_, edit)) {
        return failure;
    }
    // Then made as any change is: the domain is written again, with what else changed meanwhile.
    change({name}, [&] { database_->update(domainName_, edit); });
    return std::nullopt;
}

std::filesystem::path UserDefaults::file() const {
    return database_->fileFor(domainName_);
}

void UserDefaults::set(const Value& value, std::string_view key) {
    // The platform archives a URL; its absolute text is what this database keeps.
    if (const auto* url = value.flattened().asURL()) {
        setObject(url->absoluteString(), key);
        return;
    }
    setObject(value, key);
}

void UserDefaults::removeObject(std::string_view key) {
    if (!database_->lookup(domainName_, key)) {
        return;
    }
    const std::string name(key);
    change({name}, [&] {
        database_->update(domainName_, [&](Value::Dictionary& values) { values.erase(name); });
    });
}

void UserDefaults::removeAll() {
    for (const auto& [key, value] : dictionaryRepresentation()) {
        removeObject(key);
    }
}

void UserDefaults::registerDefaults(const Value::Dictionary& defaults) {
    std::vector<std::string> changing;
    for (const auto& [key, value] : defaults) {
        const bool shadowed =
            database_->lookup(domainName_, key) || database_->lookup(NSGlobalDomain, key);
        if (!shadowed && !(registered(key) == value)) {
            changing.push_back(key);
        }
    }
    const auto apply = [&] {
        MutexLock lock(registrationMutex_);
        for (const auto& [key, value] : defaults) {
            registration_.insert_or_assign(key, value);
        }
    };
    if (changing.empty()) {
        apply();
        return;
    }
    change(changing, apply);
}

// MARK: Domains

Value::Dictionary UserDefaults::dictionaryRepresentation() const {
    Value::Dictionary merged = database_->values(domainName_);
    for (auto& [key, value] : database_->values(NSGlobalDomain)) {
        merged.emplace(key, std::move(value));
    }
    MutexLock lock(registrationMutex_);
    for (const auto& [key, value] : registration_) {
        merged.emplace(key, value);
    }
    return merged;
}

std::optional<Value::Dictionary> UserDefaults::persistentDomain(std::string_view name) const {
    if (!isValidDomainName(name)) {
        return std::nullopt;
    }
    const std::string domain(name);
    database_->ensureLoaded(domain);
    Value::Dictionary values = database_->values(domain);
    if (values.empty()) {
        return std::nullopt;
    }
    return values;
}

void UserDefaults::setPersistentDomain(const Value::Dictionary& domain, std::string_view name) {
    if (!isValidDomainName(name)) {
        logError(fmt::format("Cannot set the persistent domain {}: not a valid domain name", name));
        return;
    }
    if (!PropertyList::isValid(Value(domain))) {
        fatal(
            fmt::format("Attempt to set a non-property list object {} as the persistent domain {}",
                        Value(domain).describe(), name));
    }
    const std::string domainName(name);
    database_->ensureLoaded(domainName);
    const Value::Dictionary old = database_->values(domainName);
    std::vector<std::string> changing;
    if (domainName == domainName_ || domainName == NSGlobalDomain) {
        std::set<std::string> keys;
        for (const auto& [key, value] : old) {
            keys.insert(key);
        }
        for (const auto& [key, value] : domain) {
            keys.insert(key);
        }
        for (const auto& key : keys) {
            const auto before = old.find(key);
            const auto after = domain.find(key);
            if (before == old.end() || after == domain.end() ||
                !(before->second == after->second)) {
                changing.push_back(key);
            }
        }
    }
    change(changing, [&] {
        database_->update(domainName, [&](Value::Dictionary& values) { values = domain; });
    });
}

void UserDefaults::removePersistentDomain(std::string_view name) {
    setPersistentDomain({}, name);
}

Value::Dictionary UserDefaults::volatileDomain(std::string_view name) const {
    if (name != NSRegistrationDomain) {
        return {};
    }
    MutexLock lock(registrationMutex_);
    return registration_;
}

bool UserDefaults::synchronize() {
    return database_->flush();
}

std::optional<std::string> UserDefaults::writeFailure() const {
    return database_->failureOf(domainName_);
}

// MARK: Observation

KeyValueObservationToken UserDefaults::addObserver(std::string keyPath,
                                                   NSKeyValueObservingOptions options,
                                                   KeyValueObserver observer, const void* context) {
    return observers_.addObserver(std::move(keyPath), options, std::move(observer), context);
}

void UserDefaults::removeObserver(KeyValueObservationToken token) {
    observers_.removeObserver(token);
}

std::size_t UserDefaults::observerCount(std::string_view keyPath) const {
    return observers_.observerCount(keyPath);
}

} // namespace zestrel::platform
