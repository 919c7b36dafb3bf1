#pragma once

#include <string.h>

#include <cstddef>
#include <utility>

namespace numtrail {

// Overwrites memory with zeros in a way the compiler may not drop as a dead store.
inline void Wipe(void* data, std::size_t size) noexcept {
    if (size > 0) ::explicit_bzero(data, size);
}

// A password or key in a string or a vector whose bytes are wiped when it goes, when it is
// moved from and when it is given a new value. A string's bytes are wiped up to its capacity
// and its terminator, so a short string held inside the object goes as well. Growing the
// container past its capacity would leave a copy behind in freed memory: size it first
// (reserve, resize), and adopt the strings that conversions return, which wipes them too.
template <typename Container>
class Wiped {
  public:
    Wiped() = default;
    explicit Wiped(Container&& adopted) noexcept : value_(std::move(adopted)) { Clear(adopted); }
    Wiped(Wiped&& other) noexcept : value_(std::move(other.value_)) { Clear(other.value_); }
    Wiped& operator=(Wiped&& other) noexcept {
        if (this != &other) {
            Clear(value_);
            value_ = std::move(other.value_);
            Clear(other.value_);
        }
        return *this;
    }
    Wiped(const Wiped&) = delete;
    Wiped& operator=(const Wiped&) = delete;
    ~Wiped() { Clear(value_); }

    Container& operator*() noexcept { return value_; }
    const Container& operator*() const noexcept { return value_; }
    Container* operator->() noexcept { return &value_; }
    const Container* operator->() const noexcept { return &value_; }

  private:
    static void Clear(Container& c) noexcept {
        std::size_t units = c.capacity();
        if constexpr (requires { c.c_str(); }) ++units;  // the terminator
        Wipe(c.data(), units * sizeof(*c.data()));
        c.clear();
    }

    Container value_;
};

}  // namespace numtrail
