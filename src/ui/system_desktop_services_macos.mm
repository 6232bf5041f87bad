#include "ui/system_desktop_services.h"

#import <AppKit/AppKit.h>

namespace velmora {

namespace {

NSURL* fileUrl(const QString& path) {
    return [NSURL fileURLWithPath:path.toNSString()];
}

} // namespace

void SystemDesktopServices::revealInFileManager(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    [[NSWorkspace sharedWorkspace] activateFileViewerSelectingURLs:@[ fileUrl(path) ]];
}

void SystemDesktopServices::openWithDefaultApplication(const QString& path) {
    if (path.isEmpty()) {
        return;
    }
    // The answer is not needed: whatever the workspace does with the path is left to it.
    [[NSWorkspace sharedWorkspace] openURL:fileUrl(path)];
}

} // namespace velmora
