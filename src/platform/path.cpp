#include "platform/path.h"

namespace velmora {

std::string joinPath(std::string_view base, std::string_view relative) {
    std::string result;
    result.reserve(base.size() + 1 + relative.size());
    result.append(base).push_back('/');
    result.append(relative);
    return result;
}

std::string appendingPathComponent(std::string_view base, std::string_view component) {
    if (base.empty()) return std::string(component);
    std::string result(base);
    if (result.back() != '/') result.push_back('/');
    result.append(component);
    return result;
}

std::string lastPathComponent(std::string_view path) {
    if (path.empty()) return {};
    std::size_t end = path.find_last_not_of('/');
    if (end == std::string_view::npos) return "/";
    std::size_t start = path.rfind('/', end);
    start = (start == std::string_view::npos) ? 0 : start + 1;
    return std::string(path.substr(start, end - start + 1));
}

} // namespace velmora
