// Inside the platform layer: where its two files record why an operation on a file failed,
// so that failure_cause (platform.h) can tell the message that names the file.
#pragma once

#include "base/platform.h"

namespace orven::platform {

void remember_failure(const std::filesystem::path& file, FailureCause cause) noexcept;

}  // namespace orven::platform
