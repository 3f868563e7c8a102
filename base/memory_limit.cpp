#include "base/memory_limit.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace zeph {

namespace {

constexpr long double kUnlimited = std::numeric_limits<long double>::max();

long double physical_share() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long page_size = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || page_size <= 0) return kUnlimited;
    return 0.75L * static_cast<long double>(pages) * page_size;
}

// The address space mapped now (the first figure of /proc/self/statm, in pages).
long double mapped_bytes() {
    std::ifstream statm("/proc/self/statm");
    long double pages = 0;
    if (!(statm >> pages)) return 0;
    return pages * static_cast<long double>(::sysconf(_SC_PAGESIZE));
}

long double address_space_left() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kUnlimited;
    return std::max(0.0L, static_cast<long double>(limit.rlim_cur) - mapped_bytes());
}

// A number from a cgroup file; "max" (or a missing file) is no limit.
long double cgroup_figure(const std::string& path) {
    std::ifstream in(path);
    std::string text;
    if (!(in >> text) || text == "max") return kUnlimited;
    try {
        return std::stold(text);
    } catch (...) {
        return kUnlimited;
    }
}

struct CgroupFiles {
    std::string limit, usage;
};

// The memory files of the process's cgroup: version 2 ("0::/path" in
// /proc/self/cgroup) or version 1 (":memory:/path"); inside a container the
// group may be mounted as the root of the hierarchy, which is tried last.
std::vector<CgroupFiles> cgroup_candidates() {
    std::vector<CgroupFiles> found;
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("0::")) {
            const std::string folder = "/sys/fs/cgroup" + line.substr(3);
            found.push_back({folder + "/memory.max", folder + "/memory.current"});
        } else if (const auto at = line.find(":memory:"); at != std::string::npos) {
            const std::string folder = "/sys/fs/cgroup/memory" + line.substr(at + 8);
            found.push_back({folder + "/memory.limit_in_bytes", folder + "/memory.usage_in_bytes"});
            found.push_back({"/sys/fs/cgroup/memory/memory.limit_in_bytes", "/sys/fs/cgroup/memory/memory.usage_in_bytes"});
        }
    }
    return found;
}

long double cgroup_left() {
    for (const CgroupFiles& files : cgroup_candidates()) {
        if (!std::ifstream(files.limit)) continue;
        const long double limit = cgroup_figure(files.limit);
        if (limit == kUnlimited) return kUnlimited;
        const long double used = cgroup_figure(files.usage);
        return used == kUnlimited ? limit : std::max(0.0L, limit - used);
    }
    return kUnlimited;
}

}  // namespace

long double available_memory_bytes() { return std::min({physical_share(), address_space_left(), cgroup_left()}); }

}  // namespace zeph
