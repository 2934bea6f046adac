// An allocator for the large arrays of a worksheet's cells.
//
// A sheet of a hundred thousand rows holds tens of megabytes of cells, and
// touching that memory page by page for the first time costs more than
// parsing it (one fault per 4 KiB page). Blocks of 4 MiB and more are taken
// aligned to 2 MiB and marked for transparent huge pages, which cuts the
// faults by a factor of 512 where the system allows them (and changes
// nothing where it does not). Smaller blocks come from operator new.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

namespace xl {

template <class T>
struct HugePageAllocator {
    using value_type = T;
    static constexpr std::size_t kHugePage = std::size_t{2} << 20;
    static constexpr std::size_t kThreshold = std::size_t{4} << 20;

    HugePageAllocator() noexcept = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    static std::size_t rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kThreshold) return static_cast<T*>(::operator new(bytes));
        void* p = std::aligned_alloc(kHugePage, rounded(bytes));
        if (p == nullptr) throw std::bad_alloc();
        madvise(p, rounded(bytes), MADV_HUGEPAGE);  // advice only: failure changes nothing
        return static_cast<T*>(p);
    }

    void deallocate(T* p, std::size_t n) noexcept {
        if (n * sizeof(T) < kThreshold) ::operator delete(p);
        else std::free(p);
    }

    template <class U>
    bool operator==(const HugePageAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace xl
