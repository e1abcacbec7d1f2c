// The origin every request and save goes through, and the device id, as pure calls.

#include "CaseName.h"
#include "ClientTexts.h"
#include "Origin.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

namespace vandreth {
namespace {

using test::kDefaultOrigin;

struct OriginCase {
    const char* name;
    std::string text;
    std::string origin;
};

// Failure messages name the row.
void PrintTo(const OriginCase& row, std::ostream* out)
{
    *out << row.name;
}

class NormalizedOrigin : public testing::TestWithParam<OriginCase> {};

TEST_P(NormalizedOrigin, Gives)
{
    EXPECT_EQ(normalizedOrigin(GetParam().text), GetParam().origin);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NormalizedOrigin,
    testing::Values(OriginCase{"Empty", "", kDefaultOrigin}, OriginCase{"BlanksAndTabs", " \t  \t", kDefaultOrigin},
                    OriginCase{"Default", kDefaultOrigin, kDefaultOrigin},
                    OriginCase{"BareHost", "lab.vandreth.test", "https://lab.vandreth.test"},
                    OriginCase{"HostWithSlash", "lab.vandreth.test/", "https://lab.vandreth.test"},
                    OriginCase{"PaddedHostWithSlash", " lab.vandreth.test/\r\n", "https://lab.vandreth.test"},
                    OriginCase{"OtherCSpace", "\v\flab.vandreth.test\t", "https://lab.vandreth.test"},
                    OriginCase{"SeveralSlashes", "https://lab.vandreth.test///", "https://lab.vandreth.test"},
                    OriginCase{"PlainHttpWithPort", "http://lab.vandreth.test:81/", "http://lab.vandreth.test:81"},
                    OriginCase{"Path", "lab.vandreth.test/base/", "https://lab.vandreth.test/base"},
                    OriginCase{"UpperCaseScheme", "HTTPS://lab.vandreth.test", "https://HTTPS://lab.vandreth.test"},
                    OriginCase{"OtherScheme", "ftp://lab.vandreth.test", "https://ftp://lab.vandreth.test"},
                    // Blanks are trimmed before the slashes go, so one before a slash stays.
                    OriginCase{"BlankBeforeSlash", "lab.vandreth.test /", "https://lab.vandreth.test "},
                    // Bytes of 0x80 and above are never white space (here U+00A0 in UTF-8).
                    OriginCase{"NoBreakSpace", "\xC2\xA0lab.vandreth.test", "https://\xC2\xA0lab.vandreth.test"},
                    OriginCase{"OneSlash", "/", "https:"}, OriginCase{"ThreeSlashes", "///", "https:"},
                    OriginCase{"PlainSchemeAlone", "http://", "http:"},
                    OriginCase{"SchemeAndColon", "https:", "https://https:"}),
    test::CaseName());

struct DeviceIdCase {
    std::uint64_t milliseconds;
    std::string id;
};

// Two normalised origins, and whether they name one service (the token's, say).
struct OriginPair {
    const char* name;
    std::string first;
    std::string second;
    bool same;
};

void PrintTo(const OriginPair& row, std::ostream* out)
{
    *out << row.name;
}

class SameServiceOrigin : public testing::TestWithParam<OriginPair> {};

TEST_P(SameServiceOrigin, ComparesSchemeHostAndPort)
{
    EXPECT_EQ(sameServiceOrigin(GetParam().first, GetParam().second), GetParam().same);
    EXPECT_EQ(sameServiceOrigin(GetParam().second, GetParam().first), GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SameServiceOrigin,
    testing::Values(OriginPair{"Identical", "https://lab.vandreth.test", "https://lab.vandreth.test", true},
                    OriginPair{"HostCase", "https://Lab.Vandreth.TEST", "https://lab.vandreth.test", true},
                    OriginPair{"DefaultHttpsPort", "https://lab.vandreth.test:443", "https://lab.vandreth.test", true},
                    OriginPair{"DefaultHttpPort", "http://127.0.0.1:80", "http://127.0.0.1", true},
                    OriginPair{"PathBeyondTheOrigin", "https://lab.vandreth.test/api", "https://lab.vandreth.test",
                               true},
                    OriginPair{"OtherHost", "https://lab.vandreth.test", "https://lab.vandreth.test.evil", false},
                    OriginPair{"OtherName", "http://127.0.0.1:8080", "http://localhost:8080", false},
                    OriginPair{"OtherPort", "https://lab.vandreth.test:8443", "https://lab.vandreth.test", false},
                    OriginPair{"OtherScheme", "http://lab.vandreth.test", "https://lab.vandreth.test", false},
                    OriginPair{"HttpOnHttpsPort", "http://lab.vandreth.test:443", "https://lab.vandreth.test", false},
                    OriginPair{"UserInfoIsNotTheHost", "https://lab.vandreth.test@evil.test", "https://lab.vandreth.test",
                               false},
                    OriginPair{"UnsplittableSameText", "https://", "https://", true},
                    OriginPair{"UnsplittableAndSplittable", "https://", "https://lab.vandreth.test", false}),
    test::CaseName());

TEST(DeviceId, IsTheTimeInLowerCaseHexadecimal)
{
    const DeviceIdCase cases[] = {
        {0, "vdwin-0"},
        {255, "vdwin-ff"},
        {4096, "vdwin-1000"},
        {1099511627775ULL, "vdwin-ffffffffff"},   // 2004-11-03 19:53:47.775 UTC, the last with ten digits
        {1099511627776ULL, "vdwin-10000000000"},  // a millisecond later: eleven
        {2147483647999ULL, "vdwin-1f3ffffffff"},  // 2038-01-19 03:14:07.999 UTC
        {std::numeric_limits<std::uint64_t>::max(), "vdwin-ffffffffffffffff"},
    };
    for (const DeviceIdCase& c : cases) {
        SCOPED_TRACE(c.milliseconds);
        EXPECT_EQ(deviceIdAt(c.milliseconds), c.id);
    }
}

TEST(DeviceId, IsMadeFromTheSystemClock)
{
    const std::uint64_t before = test::systemMs();
    const std::uint64_t now = nowMs();
    const std::string id = generateDeviceId();
    const std::uint64_t after = test::systemMs();

    EXPECT_GE(now, before);
    EXPECT_LE(now, after);
    EXPECT_TRUE(test::isDeviceIdMadeBetween(id, before, after)) << id;
    EXPECT_EQ(id.size(), 17u) << id;
}

}  // namespace
}  // namespace vandreth
