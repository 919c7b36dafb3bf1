#include "attribution/segments.h"

#include "attribution/record.h"

namespace numtrail::attribution {

namespace {

// Card-type codes as in the data file (see CardTypeText).
enum Carrier : std::uint8_t {
    kNone = 0,
    kMobile = 1,
    kUnicom = 2,
    kTelecom = 3,
    kTelecomVirtual = 4,
    kUnicomVirtual = 5,
    kMobileVirtual = 6,
    kBroadnet = 7,
    // 8, Broadnet's virtual operators, exists in data files; no segment of theirs is
    // published, so none is listed here.
};

struct Segment {
    std::uint16_t digits;  // 130
    Carrier carrier;
};

// Eleven-digit segments for voice and data cards, as the regulator has allocated them.
// Not listed: 140, 141 and 144 (thirteen-digit machine numbers), 170 and 174 (blocks below),
// and the unallocated 142, 143, 154, 160, 161, 163, 164, 168, 169, 179 and 194.
constexpr Segment kSegments[] = {
    {130, kUnicom},         {131, kUnicom},        {132, kUnicom},  {133, kTelecom},
    {134, kMobile},         {135, kMobile},        {136, kMobile},  {137, kMobile},
    {138, kMobile},         {139, kMobile},        {145, kUnicom},  {146, kUnicom},
    {147, kMobile},         {148, kMobile},        {149, kTelecom}, {150, kMobile},
    {151, kMobile},         {152, kMobile},        {153, kTelecom}, {155, kUnicom},
    {156, kUnicom},         {157, kMobile},        {158, kMobile},  {159, kMobile},
    {162, kTelecomVirtual}, {165, kMobileVirtual}, {166, kUnicom},  {167, kUnicomVirtual},
    {171, kUnicomVirtual},  {172, kMobile},        {173, kTelecom}, {175, kUnicom},
    {176, kUnicom},         {177, kTelecom},       {178, kMobile},  {180, kTelecom},
    {181, kTelecom},        {182, kMobile},        {183, kMobile},  {184, kMobile},
    {185, kUnicom},         {186, kUnicom},        {187, kMobile},  {188, kMobile},
    {189, kTelecom},        {190, kTelecom},       {191, kTelecom}, {192, kBroadnet},
    {193, kTelecom},        {195, kMobile},        {196, kUnicom},  {197, kMobile},
    {198, kMobile},         {199, kTelecom},
};

// Ranges of 7-digit prefixes that differ from their segment; they are looked at first.
struct Block {
    std::uint32_t first;
    std::uint32_t last;
    Carrier carrier;
};
constexpr Block kBlocks[] = {
    // 1349 belongs to the satellite operator, not to China Mobile.
    {1349000, 1349999, kNone},
    // 170 is shared by the virtual operators of all three carriers.
    {1700000, 1702999, kTelecomVirtual},
    {1703000, 1703999, kMobileVirtual},
    {1704000, 1704999, kUnicomVirtual},
    {1705000, 1706999, kMobileVirtual},
    {1707000, 1709999, kUnicomVirtual},
    // 17400 to 17405 are China Telecom's satellite phones; the rest of 174 is emergency
    // communication and the satellite operator's.
    {1740000, 1740599, kTelecom},
};

}  // namespace

std::string_view CardTypeForPrefix(std::uint32_t prefix) {
    for (const Block& b : kBlocks) {
        if (prefix >= b.first && prefix <= b.last) return CardTypeText(b.carrier);
    }
    if (prefix < 1000000 || prefix > 9999999) return {};
    const std::uint32_t segment = prefix / 10000;
    for (const Segment& s : kSegments) {
        if (s.digits == segment) return CardTypeText(s.carrier);
    }
    return {};
}

}  // namespace numtrail::attribution
