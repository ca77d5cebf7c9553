#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <utility>

// The calendar store's objects, as far as lists and pickers need them: their identifiers
// and, for participants, the name and address.
namespace zestrel::platform {

// An account that holds calendars (iCloud, a CalDAV server, the local store).
class EKSource : public NSObject {
public:
    EKSource(std::string sourceIdentifier, std::string title)
        : sourceIdentifier_(std::move(sourceIdentifier)), title_(std::move(title)) {}
    std::string className() const override { return "EKSource"; }
    const std::string& sourceIdentifier() const { return sourceIdentifier_; }
    const std::string& title() const { return title_; }

private:
    std::string sourceIdentifier_;
    std::string title_;
};

class EKCalendar : public NSObject {
public:
    EKCalendar(std::string calendarIdentifier, std::string title)
        : calendarIdentifier_(std::move(calendarIdentifier)), title_(std::move(title)) {}
    std::string className() const override { return "EKCalendar"; }
    const std::string& calendarIdentifier() const { return calendarIdentifier_; }
    const std::string& title() const { return title_; }

private:
    std::string calendarIdentifier_;
    std::string title_;
};

// An event or a reminder.
class EKCalendarItem : public NSObject {
public:
    EKCalendarItem(std::string calendarItemIdentifier, std::string title)
        : calendarItemIdentifier_(std::move(calendarItemIdentifier)), title_(std::move(title)) {}
    std::string className() const override { return "EKCalendarItem"; }
    const std::string& calendarItemIdentifier() const { return calendarItemIdentifier_; }
    const std::string& title() const { return title_; }

private:
    std::string calendarItemIdentifier_;
    std::string title_;
};

// Someone invited to an event; either the name or the address may be unknown.
class EKParticipant : public NSObject {
public:
    EKParticipant(std::optional<std::string> name, std::optional<URL> url)
        : name_(std::move(name)), url_(std::move(url)) {}
    std::string className() const override { return "EKParticipant"; }
    const std::optional<std::string>& name() const { return name_; }
    // Usually a "mailto:" address.
    const std::optional<URL>& url() const { return url_; }

private:
    std::optional<std::string> name_;
    std::optional<URL> url_;
};

} // namespace zestrel::platform
