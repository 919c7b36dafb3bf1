#include "realistic_list.h"

#include <string_view>

#include "random.h"

namespace numtrail::bench {
namespace {

struct Share {
    unsigned segment;
    unsigned weight;
};

// Estimated shares of the numbers in use per segment (our estimate from the carriers'
// subscriber totals and the years in which the segments opened, not a published count);
// 16x, 17x and 19x together hold about three in ten.
constexpr Share kShares[] = {
    {130, 25}, {131, 25}, {132, 25}, {133, 25}, {134, 15}, {135, 35}, {136, 35}, {137, 35},
    {138, 40}, {139, 40}, {145, 6},  {147, 8},  {150, 25}, {151, 25}, {152, 25}, {153, 20},
    {155, 20}, {156, 20}, {157, 15}, {158, 25}, {159, 25}, {162, 3},  {165, 3},  {166, 25},
    {167, 3},  {170, 6},  {171, 6},  {172, 10}, {173, 25}, {175, 20}, {176, 25}, {177, 25},
    {178, 25}, {180, 20}, {181, 20}, {182, 25}, {183, 20}, {184, 10}, {185, 20}, {186, 25},
    {187, 25}, {188, 25}, {189, 25}, {190, 8},  {191, 20}, {192, 10}, {193, 20}, {195, 15},
    {196, 8},  {197, 8},  {198, 30}, {199, 30},
};

constexpr unsigned TotalWeight() {
    unsigned total = 0;
    for (const Share& s : kShares) total += s.weight;
    return total;
}

std::string Number(Random& random) {
    for (;;) {
        unsigned pick = random.Below(TotalWeight());
        unsigned segment = 0;
        for (const Share& s : kShares) {
            if (pick < s.weight) {
                segment = s.segment;
                break;
            }
            pick -= s.weight;
        }
        std::string n = std::to_string(segment);
        for (int i = 0; i < 8; ++i) n += static_cast<char>('0' + random.Below(10));
        if (!n.starts_with("1349")) return n;  // the satellite block is no one's phone
    }
}

std::string Spaced(std::string_view n, char gap) {
    std::string out(n.substr(0, 3));
    out += gap;
    out += n.substr(3, 4);
    out += gap;
    out += n.substr(7);
    return out;
}

// One entry in the ways numbers come, per thousand.
std::string Spelled(const std::string& n, Random& random) {
    unsigned pick = random.Below(1000);
    const auto in = [&pick](unsigned share) {
        if (pick < share) return true;
        pick -= share;
        return false;
    };
    if (in(700)) return n;
    if (in(50)) return "+86" + n;
    if (in(30)) return "+86 " + n;
    if (in(30)) return "+86 " + Spaced(n, ' ');
    if (in(20)) return "+86 " + Spaced(n, '-');
    if (in(50)) return Spaced(n, ' ');
    if (in(40)) return Spaced(n, '-');
    if (in(40)) return n + "  ";
    if (in(10)) return n + " ";
    if (in(20)) return "\t" + n;
    std::string typo = n;  // a digit left out
    typo.erase(1 + random.Below(10), 1);
    return typo;
}

}  // namespace

std::string RealisticList(std::size_t count, std::uint64_t seed) {
    Random random(seed);
    std::string out = "\xEF\xBB\xBF手机号\r\n";
    out.reserve(count * 16);
    for (std::size_t i = 0; i < count; ++i) {
        const std::string n = Number(random);
        out += Spelled(n, random);
        out += "\r\n";
    }
    return out;
}

}  // namespace numtrail::bench
