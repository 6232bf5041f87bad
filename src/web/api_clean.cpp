#include "web/web_api.h"

#include <unordered_map>
#include <unordered_set>

namespace velmora::web {

namespace {

constexpr std::int64_t kLongestAgeDays = 100000;

// What a clean request asked for, checked word by word: only these keys, each of its type;
// a library is named only by an id of the root's last scan, never by a path.
struct CleanBody {
    std::vector<Uuid> ids;
    bool all = false;
    std::optional<std::int64_t> untouchedForDays;
    CategoryMask categories = 0;
};

std::optional<std::string> parseCleanBody(const std::string& text, CleanBody& body) {
    const nlohmann::json json = nlohmann::json::parse(text, nullptr, false);
    if (!json.is_object()) return "the body must be a JSON object";
    for (const auto& [key, value] : json.items()) {
        if (key == "libraries") {
            if (!value.is_array() || value.empty()) return "libraries must be a list of library ids";
            for (const nlohmann::json& id : value) {
                const std::optional<Uuid> parsed = id.is_string() ? Uuid::parse(id.get<std::string>()) : std::nullopt;
                if (!parsed) return "libraries must be a list of library ids";
                body.ids.push_back(*parsed);
            }
        } else if (key == "all") {
            if (!value.is_boolean()) return "all must be true or false";
            body.all = value.get<bool>();
        } else if (key == "untouchedForDays") {
            if (!value.is_number_integer() || value.get<std::int64_t>() < 0 || value.get<std::int64_t>() > kLongestAgeDays)
                return "untouchedForDays must be a whole number of days";
            body.untouchedForDays = value.get<std::int64_t>();
        } else if (key == "categories") {
            if (!value.is_array() || value.empty()) return "categories must be a list of render, proxy, optimized, analysis";
            for (const nlohmann::json& name : value) {
                const std::optional<CacheCategory> category =
                    name.is_string() ? categoryFromKey(name.get<std::string>()) : std::nullopt;
                if (!category) return "categories must be a list of render, proxy, optimized, analysis";
                body.categories |= categoryBit(*category);
            }
        } else {
            return "unknown key " + key;
        }
    }
    if (body.categories == 0) return "categories must be a list of render, proxy, optimized, analysis";
    if (body.ids.empty() == !(body.all || body.untouchedForDays))
        return "name the libraries, or ask for all of them (all, untouchedForDays), not both";
    return std::nullopt;
}

} // namespace

HttpResponse WebApi::clean(const HttpRequest& request, ServedRootState& root, const Principal& who) {
    CleanBody body;
    if (auto problem = parseCleanBody(request.body, body)) return errorResponse(400, "bad_request", *problem);
    const std::shared_ptr<const RootScan> scan = root.lastScan();
    if (!scan) return errorResponse(409, "not_scanned", "This root has not been scanned yet.");
    CleaningOrder order;
    order.root = &root;
    order.scan = scan;
    order.by = who;
    order.client = request.client;
    order.request.categories = body.categories;
    if (body.untouchedForDays) order.request.untouchedFor = std::chrono::days(*body.untouchedForDays);
    if (body.ids.empty()) {
        order.libraries = scan->libraries;
        order.wholeRoot = true;
    } else {
        std::unordered_map<Uuid, const FCPBundle*> byId;
        for (const FCPBundle& library : scan->libraries)
            byId.emplace(library.id, &library);
        nlohmann::ordered_json unknown = nlohmann::ordered_json::array();
        std::unordered_set<Uuid> named;
        for (const Uuid& id : body.ids) {
            if (!named.insert(id).second) continue; // named twice, cleaned once
            const auto found = byId.find(id);
            if (found == byId.end())
                unknown.push_back(id.toString());
            else
                order.libraries.push_back(*found->second);
        }
        if (!unknown.empty())
            return jsonResponse({{"error",
                                  {{"code", "unknown_library"},
                                   {"message", "No library of this root's last scan has these ids; nothing was cleaned."},
                                   {"ids", unknown}}}},
                                404);
    }
    try {
        return jsonResponse({{"run", ctx_.runs.start(std::move(order))}}, 202);
    } catch (const std::system_error&) {
        return errorResponse(503, "busy", "The system gives no thread for a cleaning now; try again later.");
    } catch (const std::runtime_error&) {
        return errorResponse(503, "stopping", "The server is stopping.");
    }
}

} // namespace velmora::web
