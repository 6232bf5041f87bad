#pragma once

#include "web/access.h"
#include "web/cleaning_runs.h"
#include "web/console_texts.h"
#include "web/event_hub.h"
#include "web/http_server.h"
#include "web/served_roots.h"
#include "web/serve_options.h"
#include "web/state_store.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace velmora::web {

// What the API works on; all of it outlives the API.
struct WebContext {
    const ServeOptions& options;
    StateStore& store;
    Sessions& sessions;
    SignInThrottle& throttle;
    ServedRoots& roots;
    CleaningRuns& runs;
    EventHub& events;
    const ConsoleTexts& texts;
};

// A refusal: its status and a JSON body {"error": {"code", "message"}}.
[[nodiscard]] HttpResponse errorResponse(int status, const std::string& code, const std::string& message);
[[nodiscard]] HttpResponse jsonResponse(const nlohmann::ordered_json& body, int status = 200);

// The JSON API under /api/v1/. Every request is checked before it is routed: the Host is one
// the server answers to (an address, "localhost", or a name given with --allow-host), a state
// change is a POST with a JSON body whose Origin (when a browser sends one) is this server,
// and the caller is signed in (a session cookie, or a token as "Authorization: Bearer") with a
// role that may do it. One line per request goes to the log.
class WebApi {
  public:
    explicit WebApi(WebContext context) : ctx_(context) {}
    [[nodiscard]] HttpResponse handle(const HttpRequest& request);

  private:
    HttpResponse answer(const HttpRequest& request, std::string& who);
    HttpResponse route(const HttpRequest& request, const std::optional<Principal>& who);
    std::optional<Principal> signedIn(const HttpRequest& request, bool& byCookie);
    HttpResponse signIn(const HttpRequest& request);
    HttpResponse roots(const HttpRequest& request);
    HttpResponse libraries(const HttpRequest& request, ServedRootState& root);
    HttpResponse scan(ServedRootState& root);
    HttpResponse clean(const HttpRequest& request, ServedRootState& root, const Principal& who);
    HttpResponse run(const HttpRequest& request, const std::string& id);
    HttpResponse history(const HttpRequest& request);
    HttpResponse events(const HttpRequest& request);
    // The page's words, and failure reasons, in the language a request asks for: its "lang"
    // parameter, or else its Accept-Language.
    HttpResponse texts(const HttpRequest& request);
    [[nodiscard]] ReasonWording failureReasons(const HttpRequest& request) const;

    WebContext ctx_;
};

// Whether a request's Host names this server: an IP address, "localhost", or one of `names`;
// any port. Names a DNS answer could point elsewhere are refused unless given.
[[nodiscard]] bool hostAllowed(const std::string& host, const std::vector<std::string>& names);

} // namespace velmora::web
