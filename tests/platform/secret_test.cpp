#include "platform/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace numtrail {
namespace {

// Counts the buffers given back that still held anything but zeros.
int unwiped_buffers = 0;

template <typename T>
struct CheckingAllocator {
    using value_type = T;
    CheckingAllocator() = default;
    template <typename U>
    CheckingAllocator(const CheckingAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) { return std::allocator<T>().allocate(n); }
    void deallocate(T* p, std::size_t n) noexcept {
        const auto* bytes = reinterpret_cast<const unsigned char*>(p);
        if (std::any_of(bytes, bytes + n * sizeof(T), [](unsigned char b) { return b != 0; }))
            ++unwiped_buffers;
        std::allocator<T>().deallocate(p, n);
    }
    template <typename U>
    bool operator==(const CheckingAllocator<U>&) const noexcept {
        return true;
    }
};

using CheckedString = std::basic_string<char, std::char_traits<char>, CheckingAllocator<char>>;
using CheckedBytes = std::vector<unsigned char, CheckingAllocator<unsigned char>>;

// A secret's buffer is wiped before it is given back: when the secret goes, and when it takes
// another's value; a short string adopted from a conversion leaves nothing in its source.
TEST(Wiped, BuffersAreZeroBeforeTheyAreGivenBack) {
    unwiped_buffers = 0;
    {
        Wiped<CheckedString> password(CheckedString(100, 'p'));
        Wiped<CheckedBytes> key(CheckedBytes(32, 0x5A));
        Wiped<CheckedString> other(CheckedString(200, 'q'));
        password = std::move(other);
        Wiped<CheckedBytes> moved(std::move(key));
    }
    EXPECT_EQ(unwiped_buffers, 0);

    std::string short_text = "pw";
    const char* inside = short_text.data();  // held in the object, where no allocator sees it
    const Wiped<std::string> adopted(std::move(short_text));
    EXPECT_EQ(*adopted, "pw");
    EXPECT_TRUE(
        std::all_of(inside, inside + short_text.capacity() + 1, [](char c) { return c == 0; }));
}

}  // namespace
}  // namespace numtrail
