#pragma once

#include "web/http_server.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velmora::web {

// The page's files, built into the program (src/web/page): path ("/app.js") and bytes.
[[nodiscard]] const std::vector<std::pair<std::string_view, std::string_view>>& embeddedPageFiles();

// The answer to a GET of `path` when it names one of the page's files ("/" is the page
// itself): its type, a validator so a browser revalidates instead of downloading again
// (304 when `ifNoneMatch` still holds), and headers that allow the page nothing from other
// sites, no framing by them, and no address (which may carry a sign-in token) in a Referer.
[[nodiscard]] std::optional<HttpResponse> pageResponse(const std::string& path, const std::string& ifNoneMatch);

} // namespace velmora::web
