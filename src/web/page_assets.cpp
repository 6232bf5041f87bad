#include "web/page_assets.h"

#include <cstdint>
#include <map>

namespace velmora::web {

namespace {

std::string_view contentTypeOf(std::string_view path) {
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (path.ends_with(".css")) return "text/css; charset=utf-8";
    return "application/octet-stream";
}

// FNV-1a over the bytes: a validator only, not a defence.
std::string entityTag(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    constexpr char kDigits[] = "0123456789abcdef";
    std::string tag = "\"";
    for (int shift = 60; shift >= 0; shift -= 4)
        tag += kDigits[(hash >> shift) & 0xF];
    return tag + "\"";
}

struct PageFile {
    std::string_view bytes;
    std::string_view type;
    std::string tag;
};

const std::map<std::string_view, PageFile>& pageFiles() {
    static const std::map<std::string_view, PageFile> files = [] {
        std::map<std::string_view, PageFile> out;
        for (const auto& [path, bytes] : embeddedPageFiles())
            out.emplace(path, PageFile{bytes, contentTypeOf(path), entityTag(bytes)});
        return out;
    }();
    return files;
}

} // namespace

std::optional<HttpResponse> pageResponse(const std::string& path, const std::string& ifNoneMatch) {
    const auto found = pageFiles().find(path == "/" ? std::string_view("/index.html") : std::string_view(path));
    if (found == pageFiles().end()) return std::nullopt;
    const PageFile& file = found->second;
    HttpResponse response;
    response.contentType = std::string(file.type);
    if (ifNoneMatch == file.tag)
        response.status = 304;
    else
        response.body = std::string(file.bytes);
    response.headers = {
        {"Cache-Control", "no-cache"},
        {"ETag", file.tag},
        {"Content-Security-Policy", "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
                                    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
    };
    return response;
}

} // namespace velmora::web
