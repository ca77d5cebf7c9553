#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <vector>

// Entries that any part of the app adds to the metadata sent with feedback. Both registries
// start empty in each process and are touched on the main thread only.
namespace zestrel {

// Each call answers entries of the moment; an absent value stands for nil.
using FeedbackMetadataProvider = std::function<platform::Value::Dictionary()>;

// Named values; a merge replaces a value of the same name.
platform::Value::Dictionary& feedbackMetadataValues();
// Called in order each time the metadata is built.
std::vector<FeedbackMetadataProvider>& feedbackMetadataProviders();

} // namespace zestrel
