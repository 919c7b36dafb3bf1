// Request targets sent to the attribution service.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "attribution/prefix_table.h"
#include "service/query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const numtrail::attribution::PrefixTable table;  // no data file, no built-in data
    const std::string_view target(reinterpret_cast<const char*>(data), size);
    const numtrail::service::Reply reply = numtrail::service::HandleQuery(target, table, "V4.1");
    (void)reply;
    return 0;
}
