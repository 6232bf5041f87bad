#include "report/json_fields.h"
#include "web/web_api.h"

#include "cleaning/deletion_entry.h"
#include "platform/directory_names.h"
#include "web/library_query.h"
#include "web/request_text.h"


namespace velmora::web {

namespace {

constexpr std::size_t kLargestHistory = 500;

std::int64_t secondsOf(std::chrono::sys_seconds time) {
    return time.time_since_epoch().count();
}

// `reasonText` puts a reason in the reader's language.
nlohmann::ordered_json scanSummary(const RootScan& scan, const ReasonWording& reasonText) {
    nlohmann::ordered_json out{{"finished", secondsOf(scan.finished)},
                               {"finishedText", utcTimestamp(FileTime{scan.finished, 0})},
                               {"libraries", scan.sums.libraries},
                               {"size", scan.sums.size}};
    for (CacheCategory category : allCacheCategories)
        out[std::string(categoryInfo(category).key)] = scan.sums.categorySizes[categoryIndex(category)];
    out["reclaimable"] = scan.sums.reclaimable();
    out["unreadable"] = scan.unreadable.size();
    // A folder the scan could not read (the root itself, when missing) hides what is in it:
    // the figures are then less than the disk holds, and the page says so with the first.
    if (!scan.unreadable.empty()) {
        const UnreadableFolder& first = scan.unreadable.front();
        const std::string reason = describeErrno(first.error);
        nlohmann::ordered_json firstUnreadable{{"reason", reason}, {"reasonText", reasonText(reason)}};
        putPath(firstUnreadable, first.path);
        out["firstUnreadable"] = std::move(firstUnreadable);
    }
    return out;
}

nlohmann::ordered_json libraryJson(const FCPBundle& library) {
    nlohmann::ordered_json object = libraryFields(library);
    putPath(object, library.relativePath, "relativePath");
    object["reclaimable"] = library.reclaimable();
    return object;
}

} // namespace

HttpResponse WebApi::roots(const HttpRequest& request) {
    const auto reasonText = failureReasons(request);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& root : ctx_.roots.all()) {
        nlohmann::ordered_json object{{"id", root->root().id}, {"label", root->root().label}};
        putPath(object, root->root().path);
        const std::shared_ptr<const RootScan> scan = root->lastScan();
        object["lastScan"] = scan ? scanSummary(*scan, reasonText) : nlohmann::ordered_json();
        object["scanning"] = root->scanning();
        if (root->scanning()) {
            const auto [entries, libraries] = root->progress();
            object["progress"] = {{"entries", entries}, {"libraries", libraries}};
        }
        list.push_back(std::move(object));
    }
    return jsonResponse({{"roots", list}});
}

HttpResponse WebApi::libraries(const HttpRequest& request, ServedRootState& root) {
    auto param = [&](const char* name) {
        const auto found = request.query.find(name);
        return found == request.query.end() ? std::string() : found->second;
    };
    LibraryQuery query;
    if (auto problem =
            parseLibraryQuery(param("sort"), param("order"), param("filter"), param("offset"), param("limit"),
                              param("fields"), query))
        return errorResponse(400, "bad_query", *problem);
    const std::shared_ptr<const RootScan> scan = root.lastScan();
    if (!scan) return errorResponse(409, "not_scanned", "This root has not been scanned yet.");
    const std::vector<const FCPBundle*> selected = scan->index->select(query);
    nlohmann::ordered_json page = nlohmann::ordered_json::array();
    for (std::size_t i = query.offset; i < selected.size() && i < query.offset + query.limit; ++i)
        page.push_back(query.idsOnly ? nlohmann::ordered_json(selected[i]->id.toString()) : libraryJson(*selected[i]));
    return jsonResponse({{"root", root.root().id},
                         {"scan", scanSummary(*scan, failureReasons(request))},
                         {"total", selected.size()},
                         {"offset", query.offset},
                         {"libraries", std::move(page)}});
}

HttpResponse WebApi::scan(ServedRootState& root) {
    const bool started = root.startScan();
    return jsonResponse({{"root", root.root().id}, {"started", started}, {"scanning", root.scanning()}}, 202);
}

namespace {

std::string languageAsked(const HttpRequest& request) {
    const auto lang = request.query.find("lang");
    return lang == request.query.end() ? std::string() : lang->second;
}

} // namespace

HttpResponse WebApi::texts(const HttpRequest& request) {
    return jsonResponse(ctx_.texts.texts(languageAsked(request), request.header("accept-language")));
}

ReasonWording WebApi::failureReasons(const HttpRequest& request) const {
    return ctx_.texts.failureReasons(languageAsked(request), request.header("accept-language"));
}

HttpResponse WebApi::run(const HttpRequest& request, const std::string& id) {
    std::optional<nlohmann::ordered_json> described = ctx_.runs.describe(id);
    if (!described) return errorResponse(404, "unknown_run", "There is no such cleaning.");
    // Each reason for a person too, beside the one scripts read.
    const auto reasonText = failureReasons(request);
    if (nlohmann::ordered_json& first = (*described)["firstFailure"]; first.is_object())
        first["reasonText"] = reasonText(first.value("reason", ""));
    for (nlohmann::ordered_json& entry : (*described)["entries"]) {
        if (!entry.contains("failures")) continue;
        std::vector<RemoveFailure> failures;
        for (const nlohmann::ordered_json& failure : entry["failures"])
            failures.push_back({failure.value("path", ""), 0, failure.value("reason", "")});
        entry["errorText"] = failuresText(entry.value("path", ""), failures, reasonText);
    }
    return jsonResponse(*described);
}

HttpResponse WebApi::history(const HttpRequest& request) {
    std::size_t limit = 50;
    if (const auto found = request.query.find("limit"); found != request.query.end()) {
        const std::optional<std::uint64_t> asked = wholeNumber(found->second);
        if (!asked || *asked == 0 || *asked > kLargestHistory)
            return errorResponse(400, "bad_query", "limit must be a whole number from 1 to 500");
        limit = static_cast<std::size_t>(*asked);
    }
    const auto reasonText = failureReasons(request);
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const StoredCleaning& c : ctx_.store.cleanings(limit)) {
        nlohmann::ordered_json object{{"run", c.run},
                                      {"started", c.started},
                                      {"finished", c.finished},
                                      {"by", c.token},
                                      {"client", c.client},
                                      {"root", c.root},
                                      {"libraries", nlohmann::ordered_json::parse(c.libraries, nullptr, false)},
                                      {"categories", nlohmann::ordered_json::parse(c.categories, nullptr, false)},
                                      {"removed", c.removed},
                                      {"failed", c.failed},
                                      {"bytes", c.bytes},
                                      {"bytesFreed", c.bytesFreed},
                                      {"stopped", c.stopped}};
        object["firstFailure"] = c.firstFailedPath.empty()
                                     ? nlohmann::ordered_json()
                                     : nlohmann::ordered_json{{"path", c.firstFailedPath},
                                                              {"reason", c.firstFailure},
                                                              {"reasonText", reasonText(c.firstFailure)}};
        list.push_back(std::move(object));
    }
    return jsonResponse({{"cleanings", list}});
}

HttpResponse WebApi::events(const HttpRequest& request) {
    HttpResponse response;
    response.eventStream = true;
    response.eventsAfter = ctx_.events.latest();
    // A reconnecting browser says the last event it saw, and gets those it missed.
    if (const std::optional<std::uint64_t> seen = wholeNumber(request.header("last-event-id"));
        seen && *seen <= response.eventsAfter)
        response.eventsAfter = *seen;
    return response;
}

} // namespace velmora::web
