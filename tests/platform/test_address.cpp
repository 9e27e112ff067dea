// Dotted addresses: the one parser and writer of the tool set.
#include <gtest/gtest.h>

#include "qavplatform/Address.h"

namespace {

using qavplatform::ParseAddress;

TEST(Address, WritesAndReadsEveryOctet)
{
    EXPECT_EQ(qavplatform::AddressText(0xC0A80A05u), "192.168.10.5");
    EXPECT_EQ(qavplatform::AddressText(0u), "0.0.0.0");
    EXPECT_EQ(qavplatform::AddressText(0xFFFFFFFFu), "255.255.255.255");
    uint32_t a = 0;
    ASSERT_TRUE(ParseAddress("127.0.0.99", a));
    EXPECT_EQ(a, 0x7F000063u);
    ASSERT_TRUE(ParseAddress("255.255.255.255", a));
    EXPECT_EQ(a, 0xFFFFFFFFu);
    ASSERT_TRUE(ParseAddress("010.001.000.009", a)); // three digits, leading zeros: still decimal
    EXPECT_EQ(a, 0x0A010009u);
}

TEST(Address, RefusesAnythingButFourDecimalFields)
{
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..3.4", "1.2.3.",
                            "0x1.2.3.4", "-1.2.3.4", "+1.2.3.4", "1.2.3.0004", "a.b.c.d", "1.2.3.4:161"}) {
        uint32_t a = 42;
        EXPECT_FALSE(ParseAddress(bad, a)) << bad;
        EXPECT_EQ(a, 42u) << bad;
    }
}

TEST(Address, LockSuffixHasThreeDigitsPerOctet)
{
    EXPECT_EQ(qavplatform::AddressLockSuffix(0xC0A80A05u), "192_168_010_005");
}

} // namespace
