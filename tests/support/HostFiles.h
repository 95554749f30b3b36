// The native tests that read built files: a file's bytes, a command's output, and where two
// files' bytes differ.
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace tarvik::test_support {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Standard output of a command, or empty when it could not run.
inline std::string RunCommand(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        std::size_t read;
        while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            out.append(buffer, read);
        }
        pclose(pipe);
    }
    return out;
}

// Empty when the two are the same bytes; else the sizes and the first offsets at which
// they differ, with both bytes in hex, for a failure message.
inline std::string DifferingBytes(const std::string& a, const std::string& b) {
    if (a == b) {
        return {};
    }
    std::ostringstream out;
    out << "sizes " << a.size() << " and " << b.size() << "; differing bytes (offset: a b):";
    std::size_t shown = 0, differing = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] == b[i]) {
            continue;
        }
        ++differing;
        if (shown < 16) {
            ++shown;
            out << std::hex << " 0x" << i << ": " << (static_cast<unsigned>(a[i]) & 0xFFu) << ' '
                << (static_cast<unsigned>(b[i]) & 0xFFu) << std::dec;
        }
    }
    out << " (" << differing << " in all within the shorter)";
    return out.str();
}

}  // namespace tarvik::test_support
