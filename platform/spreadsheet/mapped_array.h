// A growable array of trivially copyable elements in its own memory mapping.
//
// A worksheet's cells and texts can run to a hundred megabytes. A vector
// that doubles its buffer holds the old and the new one at once while it
// copies (three times the data at the peak); this array grows its mapping in
// place with mremap, so memory in use never exceeds the elements held plus
// one page. Pages are touched only as elements are written; past 4 MiB the
// mapping is marked for transparent huge pages (one fault per 2 MiB instead
// of per 4 KiB, where the system allows it).
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

namespace xl {

template <class T>
class MappedArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    MappedArray() = default;
    ~MappedArray() { release(); }
    MappedArray(MappedArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
          bytes_(std::exchange(other.bytes_, 0)) {}
    MappedArray& operator=(MappedArray&& other) noexcept {
        if (this != &other) {
            release();
            data_ = std::exchange(other.data_, nullptr);
            size_ = std::exchange(other.size_, 0);
            bytes_ = std::exchange(other.bytes_, 0);
        }
        return *this;
    }
    MappedArray(const MappedArray&) = delete;
    MappedArray& operator=(const MappedArray&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_; }
    const T* data() const { return data_; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }
    const T* begin() const { return data_; }
    const T* end() const { return data_ + size_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T& back() { return data_[size_ - 1]; }
    const T& back() const { return data_[size_ - 1]; }

    void push_back(const T& value) {
        if ((size_ + 1) * sizeof(T) > bytes_) grow(size_ + 1);
        data_[size_++] = value;
    }
    // Room for `n` elements in all (address space only; no page is touched).
    void reserve(std::size_t n) {
        if (n * sizeof(T) > bytes_) grow(n);
    }
    // New elements are left as the mapping has them (zero) or as they were.
    void resize(std::size_t n) {
        reserve(n);
        size_ = n;
    }
    void clear() { size_ = 0; }

private:
    void grow(std::size_t atLeast) {
        if (atLeast > static_cast<std::size_t>(-1) / 2 / sizeof(T)) throw std::bad_alloc();
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        std::size_t want = std::max({atLeast * sizeof(T), bytes_ * 2, page});
        want = (want + page - 1) / page * page;
        void* p = data_ == nullptr ? mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                   : mremap(data_, bytes_, want, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) throw std::bad_alloc();
        data_ = static_cast<T*>(p);
        bytes_ = want;
        if (bytes_ >= (std::size_t{4} << 20)) madvise(data_, bytes_, MADV_HUGEPAGE);  // advice only
    }
    void release() noexcept {
        if (data_ != nullptr) munmap(data_, bytes_);
        data_ = nullptr;
        size_ = bytes_ = 0;
    }

    T* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t bytes_ = 0;  // mapped
};

}  // namespace xl
