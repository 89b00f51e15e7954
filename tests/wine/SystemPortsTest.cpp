// The port list from the system's device names: every mapped COM port, by
// number's value, not in the object directory's order.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/BenchTrace.h"
#include "tests/support/Waiting.h"
#include "window/PortList.h"

namespace {

using bench_support::Environment;
using testing_support::WaitFor;

TEST(SystemPorts, ListsEveryMappedPortByNumber)
{
    // COM5, COM6 and, listed only, COM12: lexically COM12 would come first.
    const std::string ports[] = {Environment("VEKTAMON_TEST_VEKTA_PORT"), Environment("VEKTAMON_TEST_TRILOX_PORT"),
                                 Environment("VEKTAMON_TEST_LISTED_PORT")};
    if (std::any_of(std::begin(ports), std::end(ports), [](const std::string &port) { return port.empty(); }))
        GTEST_SKIP() << "the ports are named by scripts/wine-test.sh";
    // Wine's device manager may still be making the ports as the test starts.
    std::vector<std::string> listed;
    WaitFor([&] {
        listed = SystemPortNames();
        return std::all_of(std::begin(ports), std::end(ports), [&](const std::string &port) {
            return std::find(listed.begin(), listed.end(), port) != listed.end();
        });
    });
    std::string shown;
    for (const std::string &port : listed)
        shown += port + " ";
    SCOPED_TRACE("listed: " + shown);
    std::vector<size_t> places;
    for (const std::string &port : ports) {
        const auto found = std::find(listed.begin(), listed.end(), port);
        ASSERT_NE(found, listed.end()) << port << " is not listed";
        places.push_back(static_cast<size_t>(found - listed.begin()));
    }
    EXPECT_TRUE(std::is_sorted(places.begin(), places.end()));
}

}  // namespace
