#include "web/stored_records.h"

#include <nlohmann/json.hpp>
#include <stdexcept>

namespace velmora::web {

namespace {

// Paths are raw bytes, not always UTF-8: they go as binary values, which CBOR keeps exactly.
nlohmann::json bytes(const std::string& text) {
    return nlohmann::json::binary(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string text(const nlohmann::json& value) {
    const auto& binary = value.get_binary();
    return std::string(binary.begin(), binary.end());
}

} // namespace

std::string storedRecords(const std::vector<FCPBundle>& records) {
    nlohmann::json array = nlohmann::json::array();
    for (const FCPBundle& b : records) {
        nlohmann::json object{{"id", b.id.toString()},
                              {"path", bytes(b.path)},
                              {"name", bytes(b.displayName)},
                              {"relative", bytes(b.relativePath)},
                              {"size", b.size},
                              {"categories", b.categorySizes},
                              {"device", b.device},
                              {"inode", b.inode}};
        if (b.lastModified)
            object["modified"] = {b.lastModified->seconds.time_since_epoch().count(), b.lastModified->nanoseconds};
        array.push_back(std::move(object));
    }
    // CBOR keeps the raw bytes of every path exactly; the database stores it as a blob.
    const std::vector<std::uint8_t> cbor = nlohmann::json::to_cbor(array);
    return std::string(cbor.begin(), cbor.end());
}

std::vector<FCPBundle> recordsFromStore(const std::string& stored) {
    std::vector<FCPBundle> records;
    try {
        const nlohmann::json array = nlohmann::json::from_cbor(stored);
        for (const nlohmann::json& object : array) {
            FCPBundle b;
            const std::optional<Uuid> id = Uuid::parse(object.at("id").get<std::string>());
            if (!id) throw std::runtime_error("a stored record has no valid id");
            b.id = *id;
            b.path = text(object.at("path"));
            b.displayName = text(object.at("name"));
            b.relativePath = text(object.at("relative"));
            b.size = object.at("size").get<std::int64_t>();
            b.categorySizes = object.at("categories").get<std::array<std::int64_t, 4>>();
            b.device = object.at("device").get<std::uint64_t>();
            b.inode = object.at("inode").get<std::uint64_t>();
            if (object.contains("modified"))
                b.lastModified = FileTime{std::chrono::sys_seconds(std::chrono::seconds(object["modified"][0].get<std::int64_t>())),
                                          object["modified"][1].get<std::int32_t>()};
            records.push_back(std::move(b));
        }
    } catch (const nlohmann::json::exception& error) {
        throw std::runtime_error(std::string("the stored scan cannot be read: ") + error.what());
    }
    return records;
}

} // namespace velmora::web
