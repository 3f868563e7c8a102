#pragma once
// Running the external tools that tests use as references.
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zeph::test {

inline bool have_tool(const std::string& command) {
    return std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0;
}

// Standard output of a shell command; exit status in *status.
inline std::string run_command(const std::string& command, int* status = nullptr) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        const int rc = ::pclose(pipe);
        if (status) *status = rc;
    } else if (status) {
        *status = -1;
    }
    return out;
}

// The first of python3 on the PATH and the system's own that imports
// scipy.signal; empty when neither does.
inline std::string python_with_scipy() {
    for (const std::string candidate : {"python3", "/usr/bin/python3"}) {
        const std::string probe = candidate + " -c 'import scipy.signal' >/dev/null 2>&1";
        if (std::system(probe.c_str()) == 0) return candidate;
    }
    return {};
}

}  // namespace zeph::test
