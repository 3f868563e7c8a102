#pragma once
// An allocator for large arrays that start as zeros: the memory comes from the
// system already zeroed (fresh pages, mapped when first touched), and
// resizing a vector does not write zeros over it again. Storage of millions of
// samples so costs no time and no memory until a sample is written.
// Growing a vector only reads as zeros where its storage is fresh: a vector
// that shrank and grows again within its capacity keeps the old values there
// (the workspace's arrays are only ever replaced whole or grown).
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

#include <sys/mman.h>

namespace zeph {

template <class T>
class ZeroedAllocator {
    // All-zero bytes must be a valid zero of T, and T must need no constructor.
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    using value_type = T;

    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U>&) {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        void* p = nullptr;
        if (bytes >= kMappedBytes) {
            // Mapped directly: calloc would have to clear memory it takes from
            // the heap's free lists, touching every page.
            p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED) p = nullptr;
            // Huge pages where the system offers them: one fault per 2 MiB
            // instead of per 4 KiB when a command first fills the storage
            // (a touched huge page is held whole). Refusal changes nothing.
            if (p != nullptr) madvise(p, bytes, MADV_HUGEPAGE);
        } else {
            // Cache-line aligned, as mapped storage is: vector loads of the
            // transform never straddle two lines.
            const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + kAlignment - 1) / kAlignment * kAlignment;
            p = std::aligned_alloc(kAlignment, rounded);
            if (p != nullptr) std::memset(p, 0, rounded);
        }
        if (p == nullptr) throw std::bad_alloc();
        return static_cast<T*>(p);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (p == nullptr) return;
        if (n * sizeof(T) >= kMappedBytes)
            munmap(p, n * sizeof(T));
        else
            std::free(p);
    }

    // Value-initialisation (vector::resize) leaves the zeros in place.
    template <class U>
    void construct(U*) noexcept {}
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }

    template <class U>
    bool operator==(const ZeroedAllocator<U>&) const noexcept { return true; }

private:
    static constexpr std::size_t kMappedBytes = std::size_t{1} << 20;
    static constexpr std::size_t kAlignment = 64;
};

}  // namespace zeph
