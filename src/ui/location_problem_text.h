#pragma once

#include "platform/location_probe.h"

#include <QString>

namespace velmora {

// Why a location gives no list, naming it ("所选目录不存在：%1" and its siblings); a null
// string when it can be read. Both the empty list and a whole-location run say it.
[[nodiscard]] QString locationProblemText(LocationProblem problem, const QString& location);

} // namespace velmora
