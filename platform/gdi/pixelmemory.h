// The memory behind bitmap pixels. A large block is mapped on its own, aligned to 2 MB and advised
// for huge pages, so a picture of tens of megabytes costs a few dozen page faults instead of one per
// 4 KB page (on a virtual machine each fault is dear); small blocks come from the heap.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>

namespace gdi::detail {

template <class T>
struct PixelAllocator {
    using value_type = T;
    static constexpr std::size_t kLarge = std::size_t{4} << 20;
    static constexpr std::size_t kHuge = std::size_t{2} << 20;
    static constexpr std::size_t kPage = 4096;

    PixelAllocator() = default;
    template <class U>
    PixelAllocator(const PixelAllocator<U>&) noexcept {}

    static std::size_t Mapped(std::size_t n) { return (n * sizeof(T) + kPage - 1) / kPage * kPage; }

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T) - kHuge) throw std::bad_alloc();
        if (n * sizeof(T) < kLarge) return static_cast<T*>(::operator new(n * sizeof(T)));
        const std::size_t size = Mapped(n);
        // Map a huge page more than needed, then give back the head and tail around the aligned block.
        const std::size_t span = size + kHuge;
        void* raw = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED) throw std::bad_alloc();
        const auto start = reinterpret_cast<std::uintptr_t>(raw);
        const std::uintptr_t aligned = (start + kHuge - 1) & ~(std::uintptr_t{kHuge} - 1);
        if (aligned > start) munmap(raw, aligned - start);
        const std::uintptr_t end = start + span, used = aligned + size;
        if (end > used) munmap(reinterpret_cast<void*>(used), end - used);
#ifdef MADV_HUGEPAGE
        madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
        return reinterpret_cast<T*>(aligned);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kLarge) ::operator delete(p);
        else munmap(p, Mapped(n));
    }

    template <class U>
    bool operator==(const PixelAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace gdi::detail
