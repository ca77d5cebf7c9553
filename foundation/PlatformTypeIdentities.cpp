#include "foundation/PlatformTypeIdentities.h"

#include "platform/data/SHA256.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <utility>

namespace zestrel {

namespace pf = platform;

namespace {

constexpr std::array<std::pair<AppAppearance, std::string_view>, 3> kAppearances{{
    {AppAppearance::system, "system"},
    {AppAppearance::light, "light"},
    {AppAppearance::dark, "dark"},
}};

// Monday first.
constexpr std::array<std::pair<Weekday, std::string_view>, 7> kWeekdays{{
    {Weekday::monday, "monday"},
    {Weekday::tuesday, "tuesday"},
    {Weekday::wednesday, "wednesday"},
    {Weekday::thursday, "thursday"},
    {Weekday::friday, "friday"},
    {Weekday::saturday, "saturday"},
    {Weekday::sunday, "sunday"},
}};

template <class E, std::size_t count>
std::string nameOf(const std::array<std::pair<E, std::string_view>, count>& names, E value) {
    for (const auto& [candidate, name] : names) {
        if (candidate == value) {
            return std::string(name);
        }
    }
    return {};
}

template <class E, std::size_t count>
std::optional<E> valueNamed(const std::array<std::pair<E, std::string_view>, count>& names,
                            std::string_view rawValue) {
    for (const auto& [candidate, name] : names) {
        if (name == rawValue) {
            return candidate;
        }
    }
    return std::nullopt;
}

template <class E, std::size_t count>
std::vector<E> valuesOf(const std::array<std::pair<E, std::string_view>, count>& names) {
    std::vector<E> values;
    for (const auto& entry : names) {
        values.push_back(entry.first);
    }
    return values;
}

} // namespace

std::string rawValue(AppAppearance appearance) {
    return nameOf(kAppearances, appearance);
}

std::optional<AppAppearance> appAppearance(std::string_view rawValue) {
    return valueNamed(kAppearances, rawValue);
}

const std::vector<AppAppearance>& CaseList<AppAppearance>::allCases() {
    static const auto* cases = new std::vector<AppAppearance>(valuesOf(kAppearances));
    return *cases;
}

std::string rawValue(Weekday weekday) {
    return nameOf(kWeekdays, weekday);
}

std::optional<Weekday> weekday(std::string_view rawValue) {
    return valueNamed(kWeekdays, rawValue);
}

const std::vector<Weekday>& CaseList<Weekday>::allCases() {
    static const auto* cases = new std::vector<Weekday>(valuesOf(kWeekdays));
    return *cases;
}

const std::vector<NLLanguage>& CaseList<NLLanguage>::allCases() {
    static const auto* languages = new std::vector<NLLanguage>{
        {"am"}, {"ar"},      {"hy"},      {"bn"}, {"bg"}, {"my"}, {"ca"}, {"chr"}, {"hr"}, {"cs"},
        {"da"}, {"nl"},      {"en"},      {"fi"}, {"fr"}, {"ka"}, {"de"}, {"el"},  {"gu"}, {"he"},
        {"hi"}, {"hu"},      {"is"},      {"id"}, {"it"}, {"ja"}, {"kn"}, {"km"},  {"ko"}, {"lo"},
        {"ms"}, {"ml"},      {"mr"},      {"mn"}, {"nb"}, {"or"}, {"fa"}, {"pl"},  {"pt"}, {"pa"},
        {"ro"}, {"ru"},      {"zh-Hans"}, {"si"}, {"sk"}, {"es"}, {"sv"}, {"ta"},  {"te"}, {"th"},
        {"bo"}, {"zh-Hant"}, {"tr"},      {"uk"}, {"ur"}, {"vi"},
    };
    return *languages;
}

std::uint32_t screenIdentity(const pf::NSScreen& screen) {
    const pf::Value::Dictionary description = screen.deviceDescription();
    auto found = description.find("NSScreenNumber");
    const std::optional<std::uint64_t> number =
        found == description.end() ? std::nullopt : found->second.asUInt64();
    if (!number || *number > std::numeric_limits<std::uint32_t>::max()) {
        pf::fatal("A screen without a screen number");
    }
    return static_cast<std::uint32_t>(*number);
}

std::string errorIdentity(const pf::NSError& error) {
    return std::to_string(error.code()) + error.domain() + error.localizedDescription() +
           error.localizedRecoverySuggestion().value_or("");
}

std::string coordinateIdentity(const pf::CLLocationCoordinate2D& coordinate) {
    return pf::describeDouble(coordinate.latitude) + "-" + pf::describeDouble(coordinate.longitude);
}

std::string identity(const pf::TimeZone& timeZone) {
    return timeZone.identifier();
}

std::string identity(const pf::EKSource& source) {
    return source.sourceIdentifier();
}

std::string identity(const pf::EKCalendar& calendar) {
    return calendar.calendarIdentifier();
}

std::string identity(const pf::EKCalendarItem& item) {
    return item.calendarItemIdentifier();
}

std::string identity(const pf::EKParticipant& participant) {
    std::string text = participant.name().value_or("");
    if (participant.url()) {
        text += participant.url()->absoluteString();
    }
    return text;
}

pf::Data identity(const pf::IntentFile& file) {
    const pf::SHA256Digest digest = pf::sha256(file.data);
    // Made at its full size and filled in place: growing a buffer made to the digest's exact
    // size would move the digest out of it again.
    pf::Data bytes(digest.size() + file.filename.size());
    const auto nameStart = std::copy(digest.begin(), digest.end(), bytes.begin());
    std::copy(file.filename.begin(), file.filename.end(), nameStart);
    return bytes;
}

std::size_t identity(const pf::MKLocalSearchCompletion& completion) {
    return completion.hash();
}

std::string identity(const pf::NSSharingService& service) {
    // The key is private: it is put together here rather than spelled out whole.
    const std::string key = std::string("na") + "me";
    const pf::Value value = service.valueForKey(key);
    if (const std::string* name = value.asString()) {
        return *name;
    }
    return "@" + std::to_string(reinterpret_cast<std::uintptr_t>(&service));
}

} // namespace zestrel
