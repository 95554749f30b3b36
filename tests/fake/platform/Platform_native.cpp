// On Linux there is no Windows: the library's code runs against the in-memory platform
// unless a test installs its own.
#include "platform/FakePlatform.h"

namespace tarvik::platform {

Platform& DefaultPlatform() {
    static FakePlatform fake;
    return fake;
}

}  // namespace tarvik::platform
