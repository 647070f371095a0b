#pragma once
// The status-line text that tells what the removal of killed runs'
// leftovers took away: the start-up sweep says it, and so does a wipe that
// found its own.
#include "platform/WorkPlace.h"

#include <string>
#include <vector>

namespace QuillTPU {

// Empty for nothing removed. The tools are named in the order they first
// appear in `removed`.
std::string LeftoverStatus(const std::vector<Platform::RemovedLeftovers>& removed);

} // namespace QuillTPU
