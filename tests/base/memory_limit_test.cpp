// What a request may take: the address-space limit counts as well as the
// machine's memory.
#include "base/memory_limit.hpp"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeph {
namespace {

TEST(MemoryLimit, TheAddressSpaceLimitBoundsWhatIsAvailable) {
    const long double before = available_memory_bytes();
    EXPECT_GT(before, 0.0L);
    // In a child: a limit of 64 MiB beyond what is mapped now leaves at most that.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        long pages = 0;
        if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        const long double mapped = static_cast<long double>(pages) * ::sysconf(_SC_PAGESIZE);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(mapped) + (64u << 20);
        if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(2);
        const long double left = available_memory_bytes();
        ::_exit(left <= (64u << 20) && left > (32u << 20) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
}

}  // namespace
}  // namespace zeph
