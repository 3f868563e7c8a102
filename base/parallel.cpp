#include "base/parallel.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <system_error>
#include <thread>
#include <vector>

namespace zeph {

int worker_threads() {
    if (const char* text = std::getenv("ZEPH_THREADS"); text != nullptr && *text != '\0') {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (*end == '\0' && value >= 1) return static_cast<int>(std::min<long>(value, kMaxThreads));
    }
    const unsigned hardware = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(hardware), 1, kMaxThreads);
}

void run_parts(int parts, int threads, const std::function<void(int)>& part) {
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next.fetch_add(1); i < parts; i = next.fetch_add(1)) part(i);
    };
    const int helpers = std::clamp(std::min(threads, parts) - 1, 0, kMaxThreads - 1);
    std::vector<std::thread> started;
    started.reserve(static_cast<std::size_t>(helpers));
    for (int t = 0; t < helpers; ++t) {
        try {
            started.emplace_back(work);
        } catch (const std::system_error&) {
            break;
        }
    }
    work();
    for (std::thread& thread : started) thread.join();
}

void run_blocks(long long count, long long block, const std::function<void(long long, long long)>& range) {
    if (count <= 0) return;
    block = std::max(block, 1LL);
    const long long blocks = (count + block - 1) / block;
    if (blocks == 1) {
        range(0, count);
        return;
    }
    run_parts(static_cast<int>(std::min<long long>(blocks, 1 << 30)), worker_threads(), [&](int b) {
        const long long begin = b * block;
        range(begin, std::min(count, begin + block));
    });
}

}  // namespace zeph
