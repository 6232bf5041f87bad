#include "platform/volumes.h"

#include <CoreFoundation/CoreFoundation.h>
#include <CoreServices/CoreServices.h>
#include <vector>

namespace velmora {

namespace {

std::string pathOf(CFURLRef url) {
    std::vector<char> buffer(4096);
    if (!CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(buffer.data()),
                                          static_cast<CFIndex>(buffer.size())))
        return {};
    return std::string(buffer.data());
}

} // namespace

// The volume list comes from the system, not from files, so `systemRoot` is not used here.
std::optional<std::vector<MountedVolume>> mountedVolumes(const std::string& /*systemRoot*/) {
    const void* keyValues[] = {kCFURLVolumeIsInternalKey};
    CFArrayRef keys = CFArrayCreate(kCFAllocatorDefault, keyValues, 1, &kCFTypeArrayCallBacks);
    CFURLEnumeratorRef enumerator =
        CFURLEnumeratorCreateForMountedVolumes(kCFAllocatorDefault, kCFURLEnumeratorDefaultBehavior, keys);
    CFRelease(keys);
    if (enumerator == nullptr) return std::nullopt;

    std::vector<MountedVolume> volumes;
    CFURLRef url = nullptr;
    CFURLEnumeratorResult result;
    while ((result = CFURLEnumeratorGetNextURL(enumerator, &url, nullptr)) != kCFURLEnumeratorEnd) {
        if (result != kCFURLEnumeratorSuccess) continue;
        MountedVolume volume{pathOf(url), std::nullopt};
        CFBooleanRef internal = nullptr;
        if (CFURLCopyResourcePropertyForKey(url, kCFURLVolumeIsInternalKey, &internal, nullptr) &&
            internal != nullptr) {
            volume.isInternal = CFBooleanGetValue(internal);
            CFRelease(internal);
        }
        volumes.push_back(std::move(volume));
    }
    CFRelease(enumerator);
    return volumes;
}

} // namespace velmora
