#include "service/segments.h"

#include <array>

#include "service/record.h"

namespace numtrail::service {

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
    std::uint16_t digits;  // three-digit segment (130) or four-digit block (1700)
    Carrier carrier;
};

// Eleven-digit segments for voice and data cards. The 140, 141 and 144 segments hold
// thirteen-digit machine numbers and are left out.
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
    {198, kMobile},
};

// Four-digit blocks that differ from their segment: 170 is shared by the virtual operators
// of all three carriers; 1349 belongs to the satellite service, not to China Mobile.
constexpr Segment kBlocks[] = {
    {1349, kNone},           {1700, kTelecomVirtual}, {1701, kTelecomVirtual},
    {1702, kTelecomVirtual}, {1703, kMobileVirtual},  {1705, kMobileVirtual},
    {1706, kMobileVirtual},  {1704, kUnicomVirtual},  {1707, kUnicomVirtual},
    {1708, kUnicomVirtual},  {1709, kUnicomVirtual},
};

}  // namespace

std::string_view CardTypeForPrefix(std::uint32_t prefix) {
    if (prefix < 1000000 || prefix > 9999999) return {};
    const std::uint32_t block = prefix / 1000;
    for (const Segment& s : kBlocks) {
        if (s.digits == block) return CardTypeText(s.carrier);
    }
    const std::uint32_t segment = prefix / 10000;
    for (const Segment& s : kSegments) {
        if (s.digits == segment) return CardTypeText(s.carrier);
    }
    return {};
}

}  // namespace numtrail::service
