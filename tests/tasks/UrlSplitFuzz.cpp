// Feeds arbitrary text to the query URL split and checks what any split must hold.
#include "tasks/http/UrlSplit.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const quietmon::HttpTarget target = quietmon::splitUrl(url);
    if (target.port < 0 || target.port > 99999)
        std::abort();
    if (target.host.find_first_of("/?") != std::string::npos)
        std::abort();
    if (!target.path.empty() && target.path.front() != '/')
        std::abort();
    // Every piece comes from the text: nothing is made up or lost beyond the scheme, ":", "@" and port.
    if (target.user.size() + target.password.size() + target.host.size() + target.path.size() > size + 1)
        std::abort();
    if (!target.path.empty() && url.find(std::string_view(target.path).substr(1)) == std::string_view::npos)
        std::abort();
    return 0;
}
