// Log names are local times: every test reads them in one fixed zone, three
// hours east of UTC, so that a mix-up of local time and UTC shows.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    if (::setenv("TZ", "VKT-3", 1) != 0)
        return EXIT_FAILURE;
    ::tzset();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
