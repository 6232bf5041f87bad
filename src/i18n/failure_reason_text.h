#pragma once

#include <QString>
#include <string_view>

namespace velmora {

// Why an entry could not be removed, for a person to read: the description its log line gives
// (the C library's text of an error, or a reason of the cleaning's own) in the loaded table's
// language. A description no table knows shows as it is. The log lines keep the description
// as it was given: scripts read them.
[[nodiscard]] QString failureReasonText(std::string_view description);

// The context the tables know the reasons under; the cleaning marks its own with it too.
inline constexpr const char* kFailureReasonContext = "FailureReasons";

} // namespace velmora
