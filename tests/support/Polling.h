// Waiting for something another thread or process does: the integration cases poll, as an
// outside program would, instead of pumping the thread that runs the plug-in.
#pragma once

#include <windows.h>

#include <functional>

namespace tarvik::testing_support {

// Asks `done` every 5 ms until it holds or `milliseconds` have passed; whether it held.
inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 3000) {
    for (int waited = 0; waited < milliseconds; waited += 5) {
        if (done()) {
            return true;
        }
        Sleep(5);
    }
    return done();
}

}  // namespace tarvik::testing_support
