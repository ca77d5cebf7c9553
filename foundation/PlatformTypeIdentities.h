#pragma once

#include "foundation/CaseIterable.h"
#include "foundation/Hasher.h"
#include "platform/appkit/NSSharingService.h"
#include "platform/base/Error.h"
#include "platform/base/Geometry.h"
#include "platform/data/Location.h"
#include "platform/data/Measurement.h"
#include "platform/data/TimeZone.h"
#include "platform/desktop/NSScreen.h"
#include "platform/system/EventKit.h"
#include "platform/system/IntentFile.h"
#include "platform/system/MKLocalSearchCompletion.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

// The identities, equality, ordering and case lists that lists, sets, pickers and stored
// preferences need of some platform types, and the app's appearance setting.
namespace zestrel {

// How the app looks: as the system does, or always light or dark. Stored by raw value.
enum class AppAppearance { system, light, dark };

std::string rawValue(AppAppearance appearance);
// Exactly "system", "light" or "dark" (letter case counts).
std::optional<AppAppearance> appAppearance(std::string_view rawValue);

template <> struct CaseList<AppAppearance> { static const std::vector<AppAppearance>& allCases(); };

// The days of the week, Monday first whatever the user's locale. Raw values are the
// lower-case English names.
enum class Weekday { sunday, monday, tuesday, wednesday, thursday, friday, saturday };

std::string rawValue(Weekday weekday);
std::optional<Weekday> weekday(std::string_view rawValue);

template <> struct CaseList<Weekday> { static const std::vector<Weekday>& allCases(); };

// A language the platform's language tools name, by its BCP 47 code ("en", "zh-Hans").
struct NLLanguage {
    std::string rawValue;
    bool operator==(const NLLanguage&) const = default;
};

// The 56 languages the kit's pickers offer, in alphabetical order of their English names
// (the undetermined language is not among them).
template <> struct CaseList<NLLanguage> { static const std::vector<NLLanguage>& allCases(); };

// --- Identities ---

// The display number under "NSScreenNumber". A screen without one is a programming error
// that stops the process: every attached screen has one.
std::uint32_t screenIdentity(const platform::NSScreen& screen);
// Code, domain, description and recovery suggestion run together.
std::string errorIdentity(const platform::NSError& error);
// "1.5--2.0" for latitude 1.5 and longitude -2: the two numbers with a "-" between them.
std::string coordinateIdentity(const platform::CLLocationCoordinate2D& coordinate);

// The same identities under one name, for generic code (lists, pickers, hashing).
inline Weekday identity(Weekday weekday) {
    return weekday;
}
inline std::uint32_t identity(const platform::NSScreen& screen) {
    return screenIdentity(screen);
}
inline std::string identity(const platform::NSError& error) {
    return errorIdentity(error);
}
inline std::string identity(const platform::CLLocationCoordinate2D& coordinate) {
    return coordinateIdentity(coordinate);
}
std::string identity(const platform::TimeZone& timeZone);
std::string identity(const platform::EKSource& source);
std::string identity(const platform::EKCalendar& calendar);
std::string identity(const platform::EKCalendarItem& item);
// The name (empty when unknown) run together with the address's text when there is one.
std::string identity(const platform::EKParticipant& participant);
// The SHA-256 digest of the file's bytes, then its name in UTF-8: files with the same bytes
// but different names differ.
platform::Data identity(const platform::IntentFile& file);
// The completion's own hash, so completions equal as objects share an identity.
std::size_t identity(const platform::MKLocalSearchCompletion& completion);
// The service's private name; a service that does not answer one is known by its address,
// which stays the same for that service and differs between services.
std::string identity(const platform::NSSharingService& service);

// Hashing by identity: only the identity goes into the hasher, so values with equal
// identities hash alike whatever else they hold.
template <class T> void hashByIdentity(const T& value, Hasher& hasher) {
    const auto id = identity(value);
    if constexpr (std::is_same_v<decltype(id), const platform::Data>) {
        hasher.combine(std::string_view(reinterpret_cast<const char*>(id.data()), id.size()));
    } else {
        hasher.combine(id);
    }
}

// A hash function object for unordered containers of a type hashed by its identity.
template <class T> struct IdentityHash {
    std::size_t operator()(const T& value) const {
        Hasher hasher;
        hashByIdentity(value, hasher);
        return hasher.finalize();
    }
};

// --- Measurements ---

// Zero in the base unit, from which sums of measurements start.
template <class Unit> platform::Measurement<Unit> zeroMeasurement() {
    return platform::Measurement<Unit>::zero();
}

} // namespace zestrel

namespace zestrel::platform {

// Both dimensions smaller: a partial order, so 10×20 and 20×10 are neither less nor greater
// than each other, and each is <= and >= the other.
inline bool operator<(const CGSize& a, const CGSize& b) {
    return a.width < b.width && a.height < b.height;
}
inline bool operator>(const CGSize& a, const CGSize& b) {
    return b < a;
}
inline bool operator<=(const CGSize& a, const CGSize& b) {
    return !(b < a);
}
inline bool operator>=(const CGSize& a, const CGSize& b) {
    return !(a < b);
}

inline bool operator==(const CLLocationCoordinate2D& a, const CLLocationCoordinate2D& b) {
    return a.latitude == b.latitude && a.longitude == b.longitude;
}
inline bool operator==(const MKCoordinateSpan& a, const MKCoordinateSpan& b) {
    return a.latitudeDelta == b.latitudeDelta && a.longitudeDelta == b.longitudeDelta;
}

} // namespace zestrel::platform

template <> struct std::hash<zestrel::NLLanguage> {
    std::size_t operator()(const zestrel::NLLanguage& language) const {
        return std::hash<std::string>{}(language.rawValue);
    }
};
