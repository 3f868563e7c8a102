// The thread helper and the lazily zeroed storage under the signal routines.
#include "base/parallel.hpp"
#include "base/zeroed_allocator.hpp"

#include <gtest/gtest.h>

#include <cstdint>

#include <atomic>
#include <vector>

#include "base/complex.hpp"
#include "tests/support/thread_count.hpp"

namespace zeph {
namespace {

TEST(Parallel, EveryPartRunsExactlyOnceForAnyThreadCount) {
    for (int threads : {1, 2, 5}) {
        for (int parts : {0, 1, 3, 64}) {
            std::vector<std::atomic<int>> calls(static_cast<std::size_t>(parts));
            run_parts(parts, threads, [&](int i) { calls[static_cast<std::size_t>(i)].fetch_add(1); });
            for (int i = 0; i < parts; ++i) EXPECT_EQ(calls[static_cast<std::size_t>(i)].load(), 1) << threads << " " << parts;
        }
    }
    EXPECT_EQ(part_start(10, 3, 0), 0);
    EXPECT_EQ(part_start(10, 3, 3), 10);
}

TEST(Parallel, ThreadCountFollowsZephThreads) {
    testing::with_threads(1, [] { EXPECT_EQ(worker_threads(), 1); });
    testing::with_threads(3, [] { EXPECT_EQ(worker_threads(), 3); });
    testing::with_threads(100000, [] { EXPECT_EQ(worker_threads(), kMaxThreads); });
    testing::with_threads(0, [] { EXPECT_GE(worker_threads(), 1); });   // not a positive count: the hardware's
}

TEST(ZeroedStorage, StartsAsZerosAndKeepsValuesWhenGrown) {
    // Small (from the heap), mapped and huge-page-aligned sizes.
    for (std::size_t n : {std::size_t{10}, std::size_t{1} << 17, std::size_t{1} << 18}) {
        std::vector<Complex, ZeroedAllocator<Complex>> store;
        store.resize(n);
        // Cache-line aligned at every size: the transform's vector loads rely on it for speed.
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(store.data()) % 64, 0u) << n;
        for (const Complex& v : store) ASSERT_EQ(v, Complex(0, 0));
        store[0] = {1, 2};
        store[n - 1] = {3, 4};
        store.resize(2 * n);   // moves to new storage
        EXPECT_EQ(store[0], Complex(1, 2));
        EXPECT_EQ(store[n - 1], Complex(3, 4));
        for (std::size_t i = n; i < 2 * n; ++i) ASSERT_EQ(store[i], Complex(0, 0));
        std::vector<Complex, ZeroedAllocator<Complex>> other(4, Complex(5, 6));
        other.swap(store);
        EXPECT_EQ(store.size(), 4u);
        EXPECT_EQ(store[3], Complex(5, 6));
    }
}

}  // namespace
}  // namespace zeph
