#pragma once

#include "platform/base/Error.h"

#include <memory>

namespace zestrel::platform {

// One compass reading, in degrees; a negative accuracy or true heading means "not known".
struct CLHeading {
    double magneticHeading = 0;
    double trueHeading = -1;
    double headingAccuracy = -1;
};

class CLLocationManager;

// What a location manager tells the object it reports to. Both calls come on the thread the
// manager was made on.
class CLLocationManagerDelegate {
public:
    virtual ~CLLocationManagerDelegate() = default;
    virtual void locationManagerDidUpdateHeading(CLLocationManager& manager,
                                                 const CLHeading& heading) = 0;
    virtual void locationManagerDidFailWithError(CLLocationManager& manager,
                                                 const Error& error) = 0;
};

// The location service. This machine has no compass, so readings and failures come only from
// whoever drives the manager (a test). The delegate is held weakly, as the platform does.
class CLLocationManager {
public:
    void setDelegate(std::weak_ptr<CLLocationManagerDelegate> delegate) {
        delegate_ = std::move(delegate);
    }
    std::shared_ptr<CLLocationManagerDelegate> delegate() const { return delegate_.lock(); }

    // Hands a reading or a failure to the delegate, when there still is one.
    void updateHeading(const CLHeading& heading) {
        if (auto delegate = delegate_.lock()) {
            delegate->locationManagerDidUpdateHeading(*this, heading);
        }
    }
    void fail(const Error& error) {
        if (auto delegate = delegate_.lock()) {
            delegate->locationManagerDidFailWithError(*this, error);
        }
    }

private:
    std::weak_ptr<CLLocationManagerDelegate> delegate_;
};

} // namespace zestrel::platform
