#include "ui/system_desktop_services.h"

#import <AppKit/AppKit.h>

namespace velmora {

namespace {

NSURL* fileUrl(const QString& path) {
    return [NSURL fileURLWithPath:path.toNSString()];
}

} // namespace

void SystemDesktopServices::revealInFileManager(const QString& path, DesktopFailure onFailure) {
    if (path.isEmpty()) {
        return;
    }
    (void)onFailure; // Finder is always there to show the item
    [[NSWorkspace sharedWorkspace] activateFileViewerSelectingURLs:@[ fileUrl(path) ]];
}

void SystemDesktopServices::openWithDefaultApplication(const QString& path, DesktopFailure onFailure) {
    if (path.isEmpty()) {
        return;
    }
    if (![[NSWorkspace sharedWorkspace] openURL:fileUrl(path)] && onFailure) {
        onFailure();
    }
}

} // namespace velmora
