#include "web/http_server.h"

#include "platform/optional_thread.h"
#include "web/request_text.h"

#include <utility> // before Boost: its coroutine header uses std::exchange

#include <boost/asio.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>
#include <optional>
#include <stdexcept>
#include <thread>

namespace velmora::web {

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

namespace {

constexpr std::chrono::milliseconds kEventPoll{200};
constexpr std::chrono::seconds kKeepAliveComment{15};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX decoded (and '+' as a space in a query); a broken escape stays as it is.
std::string percentDecoded(std::string_view text, bool query) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += query && text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

HttpRequest requestOf(const http::request<http::string_body>& message, std::string client, bool tls) {
    HttpRequest request;
    request.method = std::string(message.method_string());
    const std::string_view target(message.target().data(), message.target().size());
    const std::size_t question = target.find('?');
    request.path = percentDecoded(target.substr(0, question), false);
    if (question != std::string_view::npos) {
        std::string_view rest = target.substr(question + 1);
        while (!rest.empty()) {
            const std::size_t amp = rest.find('&');
            const std::string_view pair = rest.substr(0, amp);
            const std::size_t equals = pair.find('=');
            request.query[percentDecoded(pair.substr(0, equals), true)] =
                equals == std::string_view::npos ? std::string() : percentDecoded(pair.substr(equals + 1), true);
            rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
        }
    }
    for (const auto& field : message) {
        request.headers[asciiLowered(std::string(field.name_string()))] = std::string(field.value());
    }
    request.body = message.body();
    request.client = std::move(client);
    request.tls = tls;
    return request;
}

} // namespace

struct HttpServer::Impl {
    HttpServerConfig config;
    HttpHandler handler;
    EventHub& events;
    net::io_context ioc;
    std::optional<ssl::context> tls;
    tcp::acceptor acceptor{ioc};
    net::steady_timer acceptRetry{ioc};
    std::atomic<std::size_t> connections{0};
    std::atomic<std::size_t> streams{0};
    std::atomic<bool> stopping{false};

    Impl(const HttpServerConfig& c, HttpHandler h, EventHub& e) : config(c), handler(std::move(h)), events(e) {}
    void accept();
};

namespace {

// One connection: requests one after the other, or one event stream.
template <class Stream>
class Session : public std::enable_shared_from_this<Session<Stream>> {
  public:
    template <class... Args>
    Session(HttpServer::Impl& server, Args&&... args)
        : server_(server), stream_(std::forward<Args>(args)...),
          timer_(beast::get_lowest_layer(stream_).socket().get_executor()) {}

    ~Session() {
        server_.connections.fetch_sub(1);
        if (streaming_) server_.streams.fetch_sub(1);
    }

    void start() {
        beast::error_code ec;
        const auto endpoint = beast::get_lowest_layer(stream_).socket().remote_endpoint(ec);
        client_ = ec ? std::string("?") : endpoint.address().to_string();
        if constexpr (kTls) {
            beast::get_lowest_layer(stream_).expires_after(server_.config.requestTimeout);
            stream_.async_handshake(ssl::stream_base::server,
                                    [self = this->shared_from_this()](beast::error_code e) {
                                        if (!e) self->read();
                                    });
        } else {
            read();
        }
    }

  private:
    static constexpr bool kTls = !std::is_same_v<Stream, beast::tcp_stream>;

    void read() {
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(server_.config.maxHeaderBytes));
        parser_->body_limit(server_.config.maxBodyBytes);
        // The whole request must arrive within the time: a client that sends a byte now and
        // then is dropped, not waited for.
        beast::get_lowest_layer(stream_).expires_after(server_.config.requestTimeout);
        http::async_read(stream_, buffer_, *parser_,
                         [self = this->shared_from_this()](beast::error_code ec, std::size_t) { self->onRead(ec); });
    }

    void onRead(beast::error_code ec) {
        if (ec == http::error::body_limit) return answer(413, R"({"error":{"code":"too_large","message":"The request body is too large."}})", false);
        if (ec == http::error::header_limit) return answer(431, R"({"error":{"code":"headers_too_large","message":"The request headers are too large."}})", false);
        if (ec) return close(); // gone, too slow, or not HTTP
        const http::request<http::string_body> message = parser_->release();
        keepAlive_ = message.keep_alive() && !server_.stopping.load();
        HttpResponse response;
        try {
            response = server_.handler(requestOf(message, client_, kTls));
        } catch (const std::exception&) {
            response = jsonText(500, R"({"error":{"code":"internal","message":"Internal error."}})");
        }
        if (response.eventStream) return startStream(response);
        respond(std::move(response));
    }

    void answer(int status, std::string body, bool keepAlive) {
        keepAlive_ = keepAlive;
        respond(jsonText(status, std::move(body)));
    }

    void respond(HttpResponse response) {
        auto message = std::make_shared<http::response<http::string_body>>();
        message->version(11);
        message->result(static_cast<unsigned>(response.status));
        message->set(http::field::content_type, response.contentType);
        message->set(http::field::cache_control, "no-store");
        message->set("X-Content-Type-Options", "nosniff");
        for (const auto& [name, value] : response.headers)
            message->set(name, value);
        message->body() = std::move(response.body);
        message->keep_alive(keepAlive_);
        message->prepare_payload();
        beast::get_lowest_layer(stream_).expires_after(server_.config.writeTimeout);
        http::async_write(stream_, *message,
                          [self = this->shared_from_this(), message](beast::error_code ec, std::size_t) {
                              if (ec || !self->keepAlive_) return self->close();
                              self->read();
                          });
    }

    void startStream(const HttpResponse& response) {
        if (server_.streams.fetch_add(1) >= server_.config.maxEventStreams) {
            server_.streams.fetch_sub(1);
            return answer(503, R"({"error":{"code":"busy","message":"Too many open event streams."}})", false);
        }
        streaming_ = true;
        cursor_ = response.eventsAfter;
        pending_ = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
                   "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n: stream\n\n";
        for (const auto& [name, value] : response.headers)
            pending_.insert(pending_.find("\r\n\r\n") + 2, name + ": " + value + "\r\n");
        writePending();
    }

    void writePending() {
        lastWrite_ = std::chrono::steady_clock::now();
        beast::get_lowest_layer(stream_).expires_after(server_.config.writeTimeout);
        net::async_write(stream_, net::buffer(pending_),
                         [self = this->shared_from_this()](beast::error_code ec, std::size_t) {
                             if (ec) return self->close();
                             self->pending_.clear();
                             self->pollEvents();
                         });
    }

    void pollEvents() {
        if (server_.stopping.load() || server_.events.closed()) return close();
        for (const ServerEvent& event : server_.events.after(cursor_, std::chrono::milliseconds(0))) {
            pending_ += wireFormat(event);
            cursor_ = event.id;
        }
        if (pending_.empty() && std::chrono::steady_clock::now() - lastWrite_ >= kKeepAliveComment)
            pending_ = ": keep-alive\n\n";
        if (!pending_.empty()) return writePending();
        beast::get_lowest_layer(stream_).expires_never();
        timer_.expires_after(kEventPoll);
        timer_.async_wait([self = this->shared_from_this()](beast::error_code ec) {
            if (!ec) self->pollEvents();
        });
    }

    void close() {
        beast::error_code ec;
        beast::get_lowest_layer(stream_).socket().shutdown(tcp::socket::shutdown_both, ec);
        beast::get_lowest_layer(stream_).close();
    }

    HttpServer::Impl& server_;
    Stream stream_;
    net::steady_timer timer_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string client_;
    bool keepAlive_ = true;
    bool streaming_ = false;
    std::uint64_t cursor_ = 0;
    std::string pending_;
    std::chrono::steady_clock::time_point lastWrite_;
};

} // namespace

void HttpServer::Impl::accept() {
    acceptor.async_accept(net::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (ec) {
            if (stopping.load() || !acceptor.is_open()) return;
            // Out of descriptors or memory: try again a little later instead of spinning.
            acceptRetry.expires_after(std::chrono::milliseconds(100));
            acceptRetry.async_wait([this](beast::error_code) {
                if (!stopping.load()) accept();
            });
            return;
        }
        if (connections.fetch_add(1) >= config.maxConnections) {
            connections.fetch_sub(1);
            beast::error_code ignored;
            socket.close(ignored); // over the cap: refused at once, nothing read
        } else if (tls) {
            std::make_shared<Session<beast::ssl_stream<beast::tcp_stream>>>(*this, std::move(socket), *tls)->start();
        } else {
            std::make_shared<Session<beast::tcp_stream>>(*this, std::move(socket))->start();
        }
        accept();
    });
}

HttpServer::HttpServer(const HttpServerConfig& config, HttpHandler handler, EventHub& events)
    : impl_(std::make_unique<Impl>(config, std::move(handler), events)) {
    if (!config.tlsCert.empty()) {
        impl_->tls.emplace(ssl::context::tls_server);
        impl_->tls->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                                ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1);
        try {
            impl_->tls->use_certificate_chain_file(config.tlsCert);
            impl_->tls->use_private_key_file(config.tlsKey, ssl::context::pem);
        } catch (const std::exception& error) {
            throw std::runtime_error("cannot load the TLS certificate or key: " + std::string(error.what()));
        }
    }
    beast::error_code ec;
    tcp::resolver resolver(impl_->ioc);
    const auto found = resolver.resolve(config.host, std::to_string(config.port), ec);
    if (ec || found.empty()) throw std::runtime_error("cannot resolve " + config.host + ": " + ec.message());
    const tcp::endpoint endpoint = found.begin()->endpoint();
    impl_->acceptor.open(endpoint.protocol(), ec);
    if (!ec) impl_->acceptor.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) impl_->acceptor.bind(endpoint, ec);
    if (!ec) impl_->acceptor.listen(net::socket_base::max_listen_connections, ec);
    if (ec)
        throw std::runtime_error("cannot listen on " + config.host + ":" + std::to_string(config.port) + ": " +
                                 ec.message());
}

HttpServer::~HttpServer() {
    stop();
}

std::uint16_t HttpServer::port() const {
    beast::error_code ec;
    return impl_->acceptor.local_endpoint(ec).port();
}

void HttpServer::run() {
    impl_->accept();
    std::vector<std::thread> more;
    for (unsigned i = 1; i < std::max(1u, impl_->config.threads); ++i) {
        std::thread thread = threadIfGiven([this] { impl_->ioc.run(); });
        if (!thread.joinable()) break; // serve on the threads there are
        more.push_back(std::move(thread));
    }
    impl_->ioc.run();
    for (std::thread& thread : more)
        thread.join();
}

void HttpServer::stop() {
    if (impl_->stopping.exchange(true)) return;
    net::post(impl_->ioc, [this] {
        beast::error_code ec;
        impl_->acceptor.close(ec);
    });
    impl_->ioc.stop();
}

} // namespace velmora::web
