#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

namespace numtrail::attribution {

// An array for a large table that is filled once and then read all over, in memory that the
// system backs with 2 MiB pages where it offers them on request (transparent huge pages in
// "madvise" mode). Filling a few MiB then costs a few page faults instead of one per 4 KiB,
// which on a virtual machine is a millisecond instead of tens, and reading at random misses
// the TLB less. Elsewhere it is ordinary memory. The elements start as zero bytes.
template <typename T>
class HugePageArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

  public:
    explicit HugePageArray(std::size_t size) {
        constexpr std::size_t kHugePage = std::size_t{2} << 20;
        // Whole huge pages, aligned: the kernel backs only aligned 2 MiB ranges with them.
        bytes_ = (size * sizeof(T) + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
        void* mapped =
            ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) throw std::bad_alloc();
        mapping_ = mapped;
        const auto aligned = (reinterpret_cast<std::uintptr_t>(mapped) + kHugePage - 1) &
                             ~std::uintptr_t{kHugePage - 1};
        data_ = reinterpret_cast<T*>(aligned);
        ::madvise(data_, bytes_ - kHugePage, MADV_HUGEPAGE);
    }
    ~HugePageArray() { ::munmap(mapping_, bytes_); }
    HugePageArray(const HugePageArray&) = delete;
    HugePageArray& operator=(const HugePageArray&) = delete;

    T* data() { return data_; }
    const T* data() const { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

  private:
    void* mapping_ = nullptr;
    std::size_t bytes_ = 0;
    T* data_ = nullptr;
};

}  // namespace numtrail::attribution
