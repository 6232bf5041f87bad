#pragma once

#include "web/event_hub.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::web {

// A request as the application sees it, already read whole and within the limits.
struct HttpRequest {
    std::string method;
    std::string path;                         // the target before "?", percent-decoded
    std::map<std::string, std::string> query; // decoded; a repeated key keeps its last value
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;
    std::string client; // the peer's address
    bool tls = false;

    [[nodiscard]] std::string header(const std::string& lowerName) const {
        const auto found = headers.find(lowerName);
        return found == headers.end() ? std::string() : found->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // Instead of a body: Server-Sent Events from the hub, those after this number, until the
    // client goes or the server stops.
    bool eventStream = false;
    std::uint64_t eventsAfter = 0;
};

// An answer of JSON text.
[[nodiscard]] inline HttpResponse jsonText(int status, std::string body) {
    HttpResponse response;
    response.status = status;
    response.body = std::move(body);
    return response;
}

using HttpHandler = std::function<HttpResponse(const HttpRequest&)>;

struct HttpServerConfig {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8472; // 0: any free port (tests)
    std::string tlsCert, tlsKey; // HTTPS when both are set
    // What one client may take: the request line and headers, the body, the time to send a
    // whole request (a client that trickles bytes is dropped when it runs out), the time a
    // response may take to be read, and how long an idle kept-alive connection stays.
    std::size_t maxHeaderBytes = 16 * 1024;
    std::size_t maxBodyBytes = 64 * 1024;
    std::chrono::seconds requestTimeout{10};
    std::chrono::seconds writeTimeout{15};
    // Connections at once (the next ones are closed at once), and of those, event streams.
    std::size_t maxConnections = 256;
    std::size_t maxEventStreams = 64;
    unsigned threads = 2;
};

// HTTP/1.1 (and HTTPS) on Boost.Beast: each connection reads one request at a time within the
// limits above, hands it to the handler, and writes its answer; an event stream stays open and
// receives the hub's events as they come, with a comment every 15 s to keep proxies from
// closing it.
class HttpServer {
  public:
    // Binds at once; throws std::runtime_error when the address cannot be bound or the
    // certificate and key cannot be loaded.
    HttpServer(const HttpServerConfig& config, HttpHandler handler, EventHub& events);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    [[nodiscard]] std::uint16_t port() const;
    // Serves until stop(), on the calling thread and config.threads - 1 more.
    void run();
    // Closes the listening socket and every connection; run() returns. Any thread.
    void stop();

    struct Impl; // the sessions of the implementation reach it too

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace velmora::web
