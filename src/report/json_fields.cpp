#include "report/json_fields.h"

#include "platform/text.h"

namespace velmora {

std::string base64(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned group = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        for (int shift : {18, 12, 6, 0})
            out.push_back(kAlphabet[(group >> shift) & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        const unsigned group = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0u);
        out.push_back(kAlphabet[(group >> 18) & 63]);
        out.push_back(kAlphabet[(group >> 12) & 63]);
        out.push_back(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

void putPath(nlohmann::ordered_json& object, const std::string& path, const std::string& key) {
    object[key] = path;
    if (!isValidUtf8(path)) object[key + "Base64"] = base64(path);
}

nlohmann::ordered_json utcTimestamp(const std::optional<FileTime>& time) {
    if (!time) return nullptr;
    return utcText(*time);
}

nlohmann::ordered_json libraryFields(const FCPBundle& b) {
    nlohmann::ordered_json object;
    object["id"] = b.id.toString();
    object["displayName"] = b.displayName;
    object["size"] = b.size;
    object["cacheSize"] = b.cacheSize();
    object["proxySize"] = b.proxySize();
    object["optimizedSize"] = b.optimizedSize();
    object["analysisSize"] = b.analysisSize();
    object["lastModified"] = utcTimestamp(b.lastModified);
    return object;
}

nlohmann::ordered_json entryFields(const DeletionEntry& entry) {
    nlohmann::ordered_json object;
    putPath(object, entry.path);
    object["bytes"] = entry.bytes;
    if (entry.failed()) {
        object["status"] = "failed";
        object["error"] = entry.errorText();
    } else {
        object["status"] = entry.status == DeletionStatus::WouldDelete ? "would-delete" : "deleted";
    }
    return object;
}

std::string dumpJson(const nlohmann::ordered_json& value) {
    return value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

} // namespace velmora
