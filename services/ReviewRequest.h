#pragma once

#include <cstdint>
#include <vector>

namespace zestrel::QVApp {

// At the end of the launch: from the third launch on, once more than 7 days have passed
// since the first launch, counts this launch in "QVApp_requestReview" and, when the new
// count is one of `onCounts`, asks the system for its rating prompt on the main queue.
// A count already at the integer limit stays there. Main thread only.
void requestReviewIfAppropriate(const std::vector<std::int64_t>& onCounts);

} // namespace zestrel::QVApp
