#include "web/web_api.h"

#include "web/page_assets.h"
#include "web/request_text.h"
#include "web/server_log.h"

#include <arpa/inet.h>
#include <regex>

namespace velmora::web {

namespace {

constexpr const char* kSessionCookie = "velmora_session";

bool isAddress(const std::string& host) {
    unsigned char bytes[16];
    return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 || ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

std::string cookie(const HttpRequest& request, const std::string& name) {
    const std::string all = request.header("cookie");
    for (std::size_t start = 0; start < all.size();) {
        std::size_t end = all.find(';', start);
        if (end == std::string::npos) end = all.size();
        std::string pair = all.substr(start, end - start);
        pair.erase(0, pair.find_first_not_of(' '));
        if (pair.starts_with(name + "=")) return pair.substr(name.size() + 1);
        start = end + 1;
    }
    return {};
}

std::string bearer(const HttpRequest& request) {
    const std::string value = request.header("authorization");
    return asciiLowered(value.substr(0, 7)) == "bearer " ? value.substr(7) : std::string();
}

// A state change from a browser must come from this server's own page: the Origin it sends
// names the Host of this request. Only the host and port are compared, not the scheme, so a
// proxy in front that ends TLS changes nothing. Without an Origin only a token in the request
// itself (which a browser never adds on its own) is accepted.
std::optional<HttpResponse> crossSiteRefusal(const HttpRequest& request, bool byCookie) {
    const std::string origin = asciiLowered(request.header("origin"));
    const std::size_t scheme = origin.find("://");
    const bool sameHost = scheme != std::string::npos && (origin.starts_with("http://") || origin.starts_with("https://")) &&
                          origin.substr(scheme + 3) == asciiLowered(request.header("host"));
    if (!origin.empty() && !sameHost)
        return errorResponse(403, "cross_origin", "The request comes from another site.");
    if (origin.empty() && byCookie)
        return errorResponse(403, "cross_origin", "A browser's request must say where it comes from.");
    const std::string type = asciiLowered(request.header("content-type"));
    if (type.substr(0, type.find(';')) != "application/json")
        return errorResponse(400, "not_json", "The body must be JSON (Content-Type: application/json).");
    return std::nullopt;
}

} // namespace

HttpResponse errorResponse(int status, const std::string& code, const std::string& message) {
    return jsonResponse({{"error", {{"code", code}, {"message", message}}}}, status);
}

HttpResponse jsonResponse(const nlohmann::ordered_json& body, int status) {
    return jsonText(status, body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace));
}

bool hostAllowed(const std::string& host, const std::vector<std::string>& names) {
    std::string name = asciiLowered(host);
    if (name.starts_with("[")) {
        const std::size_t close = name.find(']');
        if (close == std::string::npos) return false;
        return isAddress(name.substr(1, close - 1)) && (close + 1 == name.size() || name[close + 1] == ':');
    }
    name = name.substr(0, name.find(':'));
    if (name.empty()) return false;
    if (name == "localhost" || isAddress(name)) return true;
    for (const std::string& allowed : names)
        if (asciiLowered(allowed) == name) return true;
    return false;
}

std::optional<Principal> WebApi::signedIn(const HttpRequest& request, bool& byCookie) {
    byCookie = false;
    const std::vector<StoredToken> tokens = ctx_.store.tokens();
    if (const std::string token = bearer(request); !token.empty()) {
        const std::optional<StoredToken> found = matchToken(tokens, token);
        if (!found) return std::nullopt;
        return Principal{found->name, found->role};
    }
    const std::string session = cookie(request, kSessionCookie);
    if (session.empty()) return std::nullopt;
    byCookie = true;
    return ctx_.sessions.find(session, tokens);
}

HttpResponse WebApi::signIn(const HttpRequest& request) {
    if (const auto wait = ctx_.throttle.waitFor(request.client); wait.count() > 0) {
        HttpResponse refused = errorResponse(429, "slow_down", "Too many failed sign-ins; try again later.");
        refused.headers.emplace_back("Retry-After", std::to_string(wait.count()));
        return refused;
    }
    nlohmann::json body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("token") || !body["token"].is_string() || body.size() != 1)
        return errorResponse(400, "bad_request", "Send {\"token\": \"...\"}.");
    const std::optional<StoredToken> token = matchToken(ctx_.store.tokens(), body["token"].get<std::string>());
    if (!token) {
        ctx_.throttle.failed(request.client);
        return errorResponse(401, "unauthorized", "That token is not valid.");
    }
    ctx_.throttle.succeeded(request.client);
    HttpResponse response = jsonResponse({{"name", token->name}, {"role", roleName(token->role)}});
    response.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=" + ctx_.sessions.open(*token) +
                                                    "; Path=/; HttpOnly; SameSite=Strict; Max-Age=" +
                                                    std::to_string(ctx_.sessions.lifetime().count()) +
                                                    (request.tls ? "; Secure" : ""));
    return response;
}

HttpResponse WebApi::handle(const HttpRequest& request) {
    std::string who = "-";
    HttpResponse response = answer(request, who);
    logLine(request.client + " " + who + " " + request.method + " " + request.path + " " +
            std::to_string(response.status));
    return response;
}

HttpResponse WebApi::answer(const HttpRequest& request, std::string& who) {
    if (!hostAllowed(request.header("host"), ctx_.options.allowedHosts))
        return errorResponse(403, "bad_host", "This server does not answer to that host name.");
    // The page's own files need no sign-in: the page signs in.
    if (request.method == "GET" && !request.path.starts_with("/api/")) {
        std::optional<HttpResponse> page = pageResponse(request.path, request.header("if-none-match"));
        return page ? std::move(*page) : errorResponse(404, "not_found", "There is nothing here.");
    }
    bool byCookie = false;
    const std::optional<Principal> principal = signedIn(request, byCookie);
    if (principal) who = principal->tokenName;
    if (request.method == "POST") {
        if (auto refused = crossSiteRefusal(request, byCookie)) return std::move(*refused);
    }
    if (request.method == "POST" && request.path == "/api/v1/session") return signIn(request);
    if (request.method == "GET" && request.path == "/api/v1/texts") {
        // The sign-in page needs its words before anyone signs in.
        return texts(request);
    }
    if (!principal) return errorResponse(401, "unauthorized", "Sign in with a token first.");
    return route(request, principal);
}

HttpResponse WebApi::route(const HttpRequest& request, const std::optional<Principal>& who) {
    static const std::regex rootPath(R"(/api/v1/roots/([a-z0-9-]{1,64})/(libraries|scan|clean))");
    static const std::regex runPath(R"(/api/v1/runs/([0-9a-f-]{36})(/stop)?)");
    const std::string& path = request.path;
    const bool get = request.method == "GET", post = request.method == "POST";
    std::smatch match;
    if (get && path == "/api/v1/session") return jsonResponse({{"name", who->tokenName}, {"role", roleName(who->role)}});
    if (post && path == "/api/v1/session/end") {
        ctx_.sessions.close(cookie(request, kSessionCookie));
        HttpResponse response = jsonResponse({{"signedOut", true}});
        response.headers.emplace_back("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0");
        return response;
    }
    if (get && path == "/api/v1/roots") return roots(request);
    if (get && path == "/api/v1/history") return history(request);
    if (get && path == "/api/v1/events") return events(request);
    if (std::regex_match(path, match, rootPath)) {
        ServedRootState* root = ctx_.roots.find(match[1]);
        if (root == nullptr) return errorResponse(404, "unknown_root", "There is no such root.");
        if (get && match[2] == "libraries") return libraries(request, *root);
        if (post && match[2] == "scan") return scan(*root);
        if (post && match[2] == "clean") {
            if (who->role != Role::cleaner) return errorResponse(403, "forbidden", "This token may not clean.");
            return clean(request, *root, *who);
        }
        return errorResponse(405, "method", "That method is not allowed here.");
    }
    if (std::regex_match(path, match, runPath)) {
        if (get && !match[2].matched) return run(request, match[1]);
        if (post && match[2].matched) {
            if (who->role != Role::cleaner) return errorResponse(403, "forbidden", "This token may not stop cleanings.");
            if (!ctx_.runs.stop(match[1])) return errorResponse(404, "unknown_run", "There is no such cleaning.");
            return jsonResponse({{"stopping", true}});
        }
        return errorResponse(405, "method", "That method is not allowed here.");
    }
    return errorResponse(404, "not_found", "There is nothing here.");
}

} // namespace velmora::web
