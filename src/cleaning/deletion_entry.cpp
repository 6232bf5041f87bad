#include "cleaning/deletion_entry.h"

#include "platform/log_output.h"

namespace velmora {

std::string DeletionEntry::errorText() const {
    std::string text;
    for (const RemoveFailure& failure : failures) {
        if (!text.empty()) text += "; ";
        if (failure.path != path) text += escapeForLog(failure.path) + ": ";
        text += failure.description;
    }
    return text;
}

std::vector<std::string> logLines(const DeletionEntry& entry) {
    switch (entry.status) {
    case DeletionStatus::Deleted:
        return {"Deleted: " + escapeForLog(entry.path)};
    case DeletionStatus::WouldDelete:
        return {"Would delete: " + escapeForLog(entry.path) + " (" + std::to_string(entry.bytes) + " bytes)"};
    case DeletionStatus::Failed:
    case DeletionStatus::Unreadable:
        break;
    }
    const char* prefix = entry.status == DeletionStatus::Failed ? "Error deleting " : "Error reading ";
    std::vector<std::string> lines;
    for (const RemoveFailure& failure : entry.failures)
        lines.push_back(prefix + escapeForLog(failure.path) + ": " + failure.description);
    return lines;
}

} // namespace velmora
