#pragma once
// Work shared between threads for the signal routines. A routine splits its
// work into parts whose results do not depend on which thread computes them,
// so every thread count gives the same bytes.
#include <functional>

namespace zeph {

// The number of threads the signal routines may use: ZEPH_THREADS when it is a
// positive integer, else the hardware's count; at least 1, at most kMaxThreads.
int worker_threads();
inline constexpr int kMaxThreads = 64;

// Calls part(i) for every i in [0, parts) on up to `threads` threads, the
// calling one included, and returns when all calls have returned. Parts are
// taken in order from a shared counter. A thread that cannot be started
// leaves its share to the others.
void run_parts(int parts, int threads, const std::function<void(int)>& part);

// Calls range(begin, end) for consecutive blocks of `block` elements covering
// [0, count), on worker_threads() threads when there is more than one block.
// For element-wise work, whose results cannot depend on the split.
inline constexpr long long kElementBlock = 1 << 15;   // a block size for cheap element-wise work
void run_blocks(long long count, long long block, const std::function<void(long long, long long)>& range);

// Splits [0, count) into `parts` ranges of nearly equal size: the start of range i.
inline long long part_start(long long count, int parts, int i) { return count * i / parts; }

}  // namespace zeph
