#pragma once

#include "cleaning/deletion_entry.h"
#include "library/fcp_bundle.h"

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// RFC 4648 base64 with padding.
[[nodiscard]] std::string base64(std::string_view bytes);

// Sets `key` ("path") to `path`; when its bytes are not UTF-8, also `key`"Base64" with the exact bytes,
// since the readable form turns each such byte into U+FFFD when the JSON is written.
void putPath(nlohmann::ordered_json& object, const std::string& path, const std::string& key = "path");

// The time as utcText writes it ("2026-03-01T12:00:00Z"), or null for no time.
[[nodiscard]] nlohmann::ordered_json utcTimestamp(const std::optional<FileTime>& time);

// A library's record as scripts and the web console read it: "id", "displayName", "size",
// "cacheSize" (render files only), "proxySize", "optimizedSize", "analysisSize" and
// "lastModified"; the caller adds where it lies.
[[nodiscard]] nlohmann::ordered_json libraryFields(const FCPBundle& library);

// A finished entry of a cleaning as scripts and the web console read it: "path", "pathBase64"
// (when not UTF-8), "bytes", "status" ("deleted", "would-delete", or "failed", which a folder
// that could not be searched is too) and, for a failed one, "error".
[[nodiscard]] nlohmann::ordered_json entryFields(const DeletionEntry& entry);

// Writes the JSON with the bytes that are not UTF-8 replaced by U+FFFD, then a line feed.
[[nodiscard]] std::string dumpJson(const nlohmann::ordered_json& value);

} // namespace velmora
