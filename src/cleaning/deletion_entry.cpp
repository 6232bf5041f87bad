#include "cleaning/deletion_entry.h"

#include "platform/log_output.h"

namespace velmora {

std::string failuresText(const std::string& entryPath, const std::vector<RemoveFailure>& failures,
                         const ReasonWording& describe) {
    std::string text;
    for (const RemoveFailure& failure : failures) {
        if (!text.empty()) text += "; ";
        if (failure.path != entryPath) text += escapeForLog(failure.path) + ": ";
        text += describe ? describe(failure.description) : failure.description;
    }
    return text;
}

std::string DeletionEntry::errorText() const {
    return failuresText(path, failures);
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
