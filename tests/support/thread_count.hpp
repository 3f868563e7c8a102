#pragma once
// Runs a routine with ZEPH_THREADS set to a given count, restoring the
// previous setting afterwards, so a test can compare thread counts.
#include <cstdlib>
#include <optional>
#include <string>

namespace zeph::testing {

template <class Routine>
void with_threads(int threads, Routine&& routine) {
    const char* previous = std::getenv("ZEPH_THREADS");
    const std::optional<std::string> saved = previous ? std::optional<std::string>(previous) : std::nullopt;
    setenv("ZEPH_THREADS", std::to_string(threads).c_str(), 1);
    routine();
    if (saved)
        setenv("ZEPH_THREADS", saved->c_str(), 1);
    else
        unsetenv("ZEPH_THREADS");
}

}  // namespace zeph::testing
