#include "platform/concurrency/ObservationRegistrar.h"

#include "platform/base/Mutex.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <utility>
#include <vector>

namespace zestrel::platform {

// One armed tracking: fires once, then leaves every registrar it was armed in.
struct ObservationHandle::Observation {
    std::atomic<bool> fired{false};
    Mutex mutex; // the handler: taken by the change that fires or by a cancel
    std::function<void()> onChange GUARDED_BY(mutex);
    std::vector<std::pair<std::weak_ptr<ObservationRegistrar::Core>, std::string>> armedIn;

    // Leaves every registrar; the caller has set `fired`.
    void disarm() const;
};

namespace {
using Observation = ObservationHandle::Observation;
} // namespace

struct ObservationRegistrar::Core {
    Mutex mutex;
    std::map<std::string, std::vector<std::shared_ptr<Observation>>, std::less<>>
        observations GUARDED_BY(mutex);

    void remove(const std::string& keyPath, const Observation* observation) {
        MutexLock lock(mutex);
        auto found = observations.find(keyPath);
        if (found == observations.end()) {
            return;
        }
        auto& list = found->second;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [observation](const auto& o) { return o.get() == observation; }),
                   list.end());
        if (list.empty()) {
            observations.erase(found);
        }
    }
};

struct detail::ObservationTracking::Accesses {
    std::vector<std::pair<std::weak_ptr<ObservationRegistrar::Core>, std::string>> entries;
    Accesses* outer = nullptr;

    void add(const std::shared_ptr<ObservationRegistrar::Core>& core, std::string_view keyPath) {
        const bool known = std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.second == keyPath && !e.first.owner_before(core) &&
                   !core.owner_before(e.first);
        });
        if (!known) {
            entries.emplace_back(core, std::string(keyPath));
        }
    }
};

namespace {
thread_local detail::ObservationTracking::Accesses* currentTracking = nullptr;
} // namespace

ObservationRegistrar::ObservationRegistrar() : core_(std::make_shared<Core>()) {}

ObservationRegistrar::~ObservationRegistrar() = default;

void ObservationRegistrar::access(std::string_view keyPath) const {
    if (currentTracking) {
        currentTracking->add(core_, keyPath);
    }
}

void ObservationRegistrar::willSet(std::string_view keyPath) const {
    std::vector<std::shared_ptr<Observation>> armed;
    {
        MutexLock lock(core_->mutex);
        auto found = core_->observations.find(keyPath);
        if (found == core_->observations.end()) {
            return;
        }
        armed = found->second;
    }
    for (const auto& observation : armed) {
        if (observation->fired.exchange(true)) {
            continue;
        }
        observation->disarm();
        std::function<void()> onChange;
        {
            MutexLock lock(observation->mutex);
            onChange = std::move(observation->onChange);
        }
        // Run outside every lock: the change handler may read or write observed objects.
        if (onChange) {
            onChange();
        }
    }
}

void Observation::disarm() const {
    for (const auto& [weakCore, path] : armedIn) {
        if (auto core = weakCore.lock()) {
            core->remove(path, this);
        }
    }
}

void ObservationHandle::cancel() {
    const auto observation = std::move(observation_);
    if (!observation || observation->fired.exchange(true)) {
        return;
    }
    observation->disarm();
    std::function<void()> released;
    MutexLock lock(observation->mutex);
    released = std::move(observation->onChange);
}

void ObservationRegistrar::didSet(std::string_view) const {}

detail::ObservationTracking::ObservationTracking(bool countsForOuter)
    : accesses_(std::make_unique<Accesses>()), countsForOuter_(countsForOuter) {
    accesses_->outer = currentTracking;
    currentTracking = accesses_.get();
}

detail::ObservationTracking::~ObservationTracking() {
    end();
}

void detail::ObservationTracking::end() {
    if (ended_) {
        return;
    }
    ended_ = true;
    currentTracking = accesses_->outer;
    if (auto* outer = accesses_->outer; outer && countsForOuter_) {
        for (const auto& [weakCore, path] : accesses_->entries) {
            if (auto core = weakCore.lock()) {
                outer->add(core, path);
            }
        }
    }
}

ObservationHandle detail::ObservationTracking::install(std::function<void()> onChange) {
    end();
    auto observation = std::make_shared<Observation>();
    {
        MutexLock lock(observation->mutex);
        observation->onChange = std::move(onChange);
    }
    observation->armedIn = accesses_->entries;
    for (const auto& [weakCore, path] : observation->armedIn) {
        if (auto core = weakCore.lock()) {
            MutexLock lock(core->mutex);
            core->observations[path].push_back(observation);
        }
    }
    return ObservationHandle(std::move(observation));
}

} // namespace zestrel::platform
