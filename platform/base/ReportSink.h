#pragma once

#include <functional>

namespace zestrel::platform {

class Error;

// The end of the error reporter's road. The app has no destination for reports: they
// are built and released. Tests observe them here.
void deliverReport(const Error& report);
// Installs an observer of delivered reports; an empty function removes it.
void setReportObserver(std::function<void(const Error&)> observer);

} // namespace zestrel::platform
