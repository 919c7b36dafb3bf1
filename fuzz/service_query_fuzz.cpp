// Request targets sent to the attribution service.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "attribution/local_attributor.h"
#include "service/query.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static numtrail::attribution::LocalAttributor table({}, false);  // no data, no built-in data
    const std::string_view target(reinterpret_cast<const char*>(data), size);
    const numtrail::service::Reply reply = numtrail::service::HandleQuery(target, table, "V4.1");
    (void)reply;
    return 0;
}
