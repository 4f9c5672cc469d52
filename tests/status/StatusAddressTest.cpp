// What StatusAddress and StatusToken let the endpoint do.
#include "config/StatusAddress.h"

#include <gtest/gtest.h>

namespace quietmon {
namespace {

TEST(StatusAddressTest, TheSettingsGiveOffRefusedOrAnAddressToListenOn) {
    struct Case {
        const char* address;
        const char* token;
        const char* expected; // "off", "refused", or "host port loopback"
    };
    const Case cases[] = {
        {"", "", "off"},
        {"127.0.0.1:9823", "", "127.0.0.1 9823 loopback"},
        {"127.8.9.10:80", "", "127.8.9.10 80 loopback"},
        {"[::1]:9823", "", "::1 9823 loopback"},
        {"0.0.0.0:9823", "", "refused"},
        {"192.0.2.7:9823", "", "refused"},
        {"[::]:9823", "", "refused"},
        {"0.0.0.0:9823", "sixteen-letters!", "0.0.0.0 9823 reachable"},
        {"[2001:db8::5]:9100", "sixteen-letters!", "2001:db8::5 9100 reachable"},
        {"0.0.0.0:9823", "fifteen-letters", "refused"}, // a shorter token could be guessed by trying
        {"[::]:9823", "fifteen-letters", "refused"},
        {"127.0.0.1:9823", "t0ken", "127.0.0.1 9823 loopback"}, // this computer's users only
        {"localhost:9823", "", "refused"},                      // names are not taken
        {"127.0.0.1", "", "refused"},
        {"127.0.0.1:0", "", "refused"},
        {"127.0.0.1:65536", "", "refused"},
        {"127.0.0.1:98x", "", "refused"},
        {"::1:9823", "", "refused"}, // IPv6 needs its brackets
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.address) + " / " + c.token);
        GeneralSettings general;
        general.statusAddress = c.address;
        general.statusToken = c.token;
        const StatusEndpointPlan plan = planStatusEndpoint(general);
        std::string got = "off";
        if (std::holds_alternative<StatusEndpointRefused>(plan))
            got = "refused";
        if (const auto* address = std::get_if<StatusListenAddress>(&plan))
            got = address->host + " " + std::to_string(address->port) +
                  (address->loopback ? " loopback" : " reachable");
        EXPECT_EQ(got, c.expected);
    }
}

TEST(StatusAddressTest, ARefusalSaysWhyInTheWordsOfTheSettingsFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "StatusAddress 192.0.2.7:9823 can be reached from other computers and StatusToken is empty"},
        {"short",
         "StatusAddress 192.0.2.7:9823 can be reached from other computers and StatusToken is shorter "
         "than 16 characters"},
    };
    for (const auto& [token, reason] : cases) {
        GeneralSettings general;
        general.statusAddress = "192.0.2.7:9823";
        general.statusToken = token;
        EXPECT_EQ(std::get<StatusEndpointRefused>(planStatusEndpoint(general)).reason, reason);
    }
}

} // namespace
} // namespace quietmon
