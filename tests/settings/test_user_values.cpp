// The list window's per-user values and its placement text.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestPeers.h"
#include "qavsettings/UserValues.h"

using namespace qavsettings;

namespace {

class UserValuesTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
    qavtest::TempDir dir_;
};

TEST_F(UserValuesTest, NumbersAndStrings)
{
    uint32_t n = 0;
    EXPECT_FALSE(ReadUserNumber(kToolBarValue, n));
    ASSERT_TRUE(WriteUserNumber(kToolBarValue, 4294967295u));
    ASSERT_TRUE(ReadUserNumber(kToolBarValue, n));
    EXPECT_EQ(n, 4294967295u);
    // Where the platform layer keeps the registry key's values.
    EXPECT_EQ(qavtest::ReadFile(dir_.File("VORANTA QAV/Software/QAV/QAVNET/ToolBar")), "4294967295");
    ASSERT_TRUE(WriteUserValue(kStatusBarValue, "yes"));
    EXPECT_FALSE(ReadUserNumber(kStatusBarValue, n));
    EXPECT_FALSE(WriteUserValue("../escape", "x"));
    EXPECT_FALSE(WriteUserValue("..", "x"));
    EXPECT_FALSE(WriteUserValue("a\\b", "x")) << "a value name, never a deeper key";
    ASSERT_TRUE(DeleteUserValue(kToolBarValue));
    EXPECT_FALSE(ReadUserNumber(kToolBarValue, n));
}

TEST_F(UserValuesTest, WindowPlacementNeedsAllTenNumbers)
{
    WindowPlacement p;
    p.flags = 2;
    p.showCommand = 3;
    p.minX = -1;
    p.minY = -1;
    p.maxX = -8;
    p.maxY = -31;
    p.left = 10;
    p.top = 20;
    p.right = 810;
    p.bottom = 620;
    const std::string text = FormatWindowPlacement(p);
    EXPECT_EQ(text, "2,3,-1,-1,-8,-31,10,20,810,620");
    WindowPlacement q;
    ASSERT_TRUE(ParseWindowPlacement(text, q));
    EXPECT_EQ(q.bottom, 620);
    EXPECT_EQ(q.maxY, -31);
    WindowPlacement untouched;
    untouched.left = 99;
    EXPECT_FALSE(ParseWindowPlacement("2,3,-1,-1,-8,-31,10,20,810", untouched));
    EXPECT_FALSE(ParseWindowPlacement("", untouched));
    EXPECT_EQ(untouched.left, 99);
}

} // namespace
