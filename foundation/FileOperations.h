#pragma once

#include "platform/base/Value.h"

#include <vector>

namespace zestrel {

// Creates the directory at the file URL. With intermediate directories, the missing parents
// are made too and an existing directory is no error. Throws the platform's file error
// (NSCocoaErrorDomain, with the POSIX error underneath) when it cannot.
void createDirectory(const platform::URL& url, bool withIntermediateDirectories);

// The URLs whose path exists, in the order given.
std::vector<platform::URL> existingFileURLs(const std::vector<platform::URL>& urls);

} // namespace zestrel
