#include "i18n/failure_reason_text.h"

#include "i18n/translation.h"
#include "platform/translatable_text.h"

#include <array>

namespace velmora {

namespace {

// The C library's descriptions (strerrordesc_np, the same in every locale) of the errors a
// removal or a walk meets in practice. Only the table builder reads this list: it makes every
// table word them, and the lookup below finds them by their text.
[[maybe_unused]] constexpr std::array<const char*, 28> kSystemReasons{
    QT_TRANSLATE_NOOP("FailureReasons", "Operation not permitted"),
    QT_TRANSLATE_NOOP("FailureReasons", "No such file or directory"),
    QT_TRANSLATE_NOOP("FailureReasons", "Interrupted system call"),
    QT_TRANSLATE_NOOP("FailureReasons", "Input/output error"),
    QT_TRANSLATE_NOOP("FailureReasons", "No such device or address"),
    QT_TRANSLATE_NOOP("FailureReasons", "Resource temporarily unavailable"),
    QT_TRANSLATE_NOOP("FailureReasons", "Cannot allocate memory"),
    QT_TRANSLATE_NOOP("FailureReasons", "Permission denied"),
    QT_TRANSLATE_NOOP("FailureReasons", "Device or resource busy"),
    QT_TRANSLATE_NOOP("FailureReasons", "File exists"),
    QT_TRANSLATE_NOOP("FailureReasons", "Invalid cross-device link"),
    QT_TRANSLATE_NOOP("FailureReasons", "No such device"),
    QT_TRANSLATE_NOOP("FailureReasons", "Not a directory"),
    QT_TRANSLATE_NOOP("FailureReasons", "Is a directory"),
    QT_TRANSLATE_NOOP("FailureReasons", "Invalid argument"),
    QT_TRANSLATE_NOOP("FailureReasons", "Too many open files in system"),
    QT_TRANSLATE_NOOP("FailureReasons", "Too many open files"),
    QT_TRANSLATE_NOOP("FailureReasons", "Text file busy"),
    QT_TRANSLATE_NOOP("FailureReasons", "No space left on device"),
    QT_TRANSLATE_NOOP("FailureReasons", "Read-only file system"),
    QT_TRANSLATE_NOOP("FailureReasons", "File name too long"),
    QT_TRANSLATE_NOOP("FailureReasons", "Directory not empty"),
    QT_TRANSLATE_NOOP("FailureReasons", "Too many levels of symbolic links"),
    QT_TRANSLATE_NOOP("FailureReasons", "Operation not supported"),
    QT_TRANSLATE_NOOP("FailureReasons", "Transport endpoint is not connected"),
    QT_TRANSLATE_NOOP("FailureReasons", "Connection timed out"),
    QT_TRANSLATE_NOOP("FailureReasons", "Stale file handle"),
    QT_TRANSLATE_NOOP("FailureReasons", "Disk quota exceeded"),
};

} // namespace

QString failureReasonText(std::string_view description) {
    // The cleaning's own reasons are marked where they are written, the C library's listed
    // above; anything else (an unknown error's number) has no entry and shows as it is.
    return translate(kFailureReasonContext, description);
}

} // namespace velmora
