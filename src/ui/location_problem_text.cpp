#include "ui/location_problem_text.h"

#include "i18n/translation.h"

namespace velmora {

QString locationProblemText(LocationProblem problem, const QString& location) {
    switch (problem) {
    case LocationProblem::none:
        return {};
    case LocationProblem::missing:
        return translate("ContentView", "所选目录不存在：%1").arg(location);
    case LocationProblem::notDirectory:
        return translate("ContentView", "所选位置不是目录：%1").arg(location);
    case LocationProblem::unreadable:
        return translate("ContentView", "无法读取所选目录：%1").arg(location);
    }
    return {};
}

} // namespace velmora
