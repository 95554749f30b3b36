#include "platform/Platform.h"

namespace tarvik::platform {

// Defined by the build's platform file: the real Win32 platform, or on Linux a fake.
Platform& DefaultPlatform();

namespace {
Platform* installed = nullptr;
}

Platform& Os() {
    return installed != nullptr ? *installed : DefaultPlatform();
}

void SetOs(Platform* platform) {
    installed = platform;
}

}  // namespace tarvik::platform
