// The binding list: families, limits, conversions and buffer checks.
#include <gtest/gtest.h>

#include <cstring>

#include "ncomm/CQBPVb.h"
#include "ncomm/QBPResult.h"

namespace {

TEST(BindingList, HoldsAtMostTwentyBindings)
{
    CQBPVb vb;
    for (int i = 0; i < 20; ++i) ASSERT_EQ(vb.Add("1.3.6.1.2.1.1.5.0", 2, i), 0);
    EXPECT_EQ(vb.Add("1.3.6.1.2.1.1.5.0", 2, 21), QBP_LIST_FULL);
    EXPECT_EQ(vb.Add("1.3.6.1.2.1.1.5.0", 4, "x"), QBP_LIST_FULL);
    EXPECT_EQ(vb.Add("1.3.6.1.2.1.1.5.0", 65, 1u, 0u), QBP_LIST_FULL);
    EXPECT_EQ(vb.GetSize(), 20);
    vb.Remove();
    EXPECT_EQ(vb.GetSize(), 0);
}

TEST(BindingList, NoValueAndNullStoreNullWithEmptyValue)
{
    CQBPVb vb;
    ASSERT_EQ(vb.Add("1.2.3", 0, "abc"), 0);
    ASSERT_EQ(vb.Add(std::string("1.2.4"), 5, 77), 0);
    char oid[64], value[64] = "junk";
    int type = 0;
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, value, sizeof value), 0);
    EXPECT_EQ(type, 5);
    EXPECT_STREQ(value, "");
    EXPECT_STREQ(oid, "1.2.3");
    int n = 9;
    EXPECT_EQ(vb.Get(1, oid, sizeof oid, type, n), 0);
    EXPECT_EQ(type, 5);
    EXPECT_EQ(n, 0);
}

TEST(BindingList, FormsAcceptOnlyTheirFamily)
{
    CQBPVb vb;
    EXPECT_EQ(vb.Add("1.2", 2, "12"), QBP_WRONG_TYPE);
    EXPECT_EQ(vb.Add("1.2", 4, 12), QBP_WRONG_TYPE);
    EXPECT_EQ(vb.Add("1.2", 2, 1u, 0u), QBP_WRONG_TYPE);
    EXPECT_EQ(vb.Add("1.2", 71, "x"), QBP_WRONG_TYPE);
    EXPECT_EQ(vb.GetSize(), 0);
    for (int t : {4, 6, 64}) EXPECT_EQ(vb.Add("1.2", t, "1.1"), 0);
    for (int t : {65, 66, 67, 70}) EXPECT_EQ(vb.Add("1.2", t, 1u, 0u), 0);

    // Reading through the wrong family reports -31 in type and result.
    char oid[16], value[16];
    int type = 0, n = 0;
    unsigned low = 0, high = 0;
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, n), QBP_WRONG_TYPE);
    EXPECT_EQ(type, QBP_WRONG_TYPE);
    EXPECT_EQ(vb.Get(3, oid, sizeof oid, type, value, sizeof value), QBP_WRONG_TYPE);
    EXPECT_EQ(vb.Get(3, oid, sizeof oid, type, low, high), QBP_WRONG_TYPE); // Counter32 is not 64-bit
    EXPECT_EQ(vb.Get(6, oid, sizeof oid, type, low, high), 0);
    unsigned u = 0;
    EXPECT_EQ(vb.Get(6, oid, sizeof oid, type, u), QBP_WRONG_TYPE); // Counter64 is not 32-bit
}

TEST(BindingList, NegativeTypeIsAStatusReturnedByGet)
{
    CQBPVb vb;
    ASSERT_EQ(vb.Add("1.3.6.1", -7, "x"), 0);
    char oid[16], value[16] = "junk";
    int type = 0;
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, value, sizeof value), -7);
    EXPECT_EQ(type, -7);
    EXPECT_STREQ(value, "");
    EXPECT_STREQ(oid, "1.3.6.1");
    int n = 5;
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, n), -7);
    EXPECT_EQ(n, 0);
}

TEST(BindingList, UnsignedValuesKeepTheirBitPattern)
{
    CQBPVb vb;
    ASSERT_EQ(vb.Add("1.1", 65, 4294967295u, 0u), 0);
    ASSERT_EQ(vb.Add("1.2", 70, 1u, 2u), 0);
    ASSERT_EQ(vb.Add("1.3", 70, 0xFFFFFFFFu, 0xFFFFFFFFu), 0);
    EXPECT_EQ(vb.ValueAt(0), "-1");
    EXPECT_EQ(vb.ValueAt(1), "8589934593");
    EXPECT_EQ(vb.ValueAt(2), "-1");

    char oid[16];
    int type = 0;
    unsigned u = 0, low = 0, high = 0;
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, u), 0);
    EXPECT_EQ(u, 4294967295u);
    EXPECT_EQ(type, 65);
    EXPECT_EQ(vb.Get(1, oid, sizeof oid, type, low, high), 0);
    EXPECT_EQ(low, 1u);
    EXPECT_EQ(high, 2u);
    EXPECT_EQ(vb.Get(2, oid, sizeof oid, type, low, high), 0);
    EXPECT_EQ(low, 0xFFFFFFFFu);
    EXPECT_EQ(high, 0xFFFFFFFFu);
}

TEST(BindingList, BuffersMustHoldTheTerminator)
{
    CQBPVb vb;
    ASSERT_EQ(vb.Add("1.3.6.1.2.1", 4, "hello"), 0);
    char oid[32], value[32];
    int type = 0;
    // OID of 11 characters: a buffer of 11 has no room for the zero.
    EXPECT_EQ(vb.Get(0, oid, 11, type, value, sizeof value), QBP_BUFFER_TOO_SMALL);
    EXPECT_EQ(type, QBP_BUFFER_TOO_SMALL);
    EXPECT_EQ(vb.Get(0, oid, 12, type, value, sizeof value), 0);
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, value, 5), QBP_BUFFER_TOO_SMALL);
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, value, 6), 0);
    EXPECT_STREQ(value, "hello");
    EXPECT_EQ(vb.Get(0, nullptr, 0, type, value, sizeof value), QBP_BUFFER_TOO_SMALL);
    EXPECT_EQ(vb.Get(0, oid, sizeof oid, type, nullptr, 64), QBP_BUFFER_TOO_SMALL);
}

TEST(BindingList, IndexOutsideTheList)
{
    CQBPVb vb;
    vb.Add("1.1", 2, 1);
    EXPECT_EQ(vb.GetType(-1), QBP_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(vb.GetType(1), QBP_INDEX_OUT_OF_RANGE);
    char oid[8];
    int type = 0, n = 0;
    EXPECT_EQ(vb.Get(1, oid, sizeof oid, type, n), QBP_INDEX_OUT_OF_RANGE);
    EXPECT_EQ(type, QBP_INDEX_OUT_OF_RANGE);
}

TEST(BindingList, NumericTextsConvertLikeTheCRuntime)
{
    CQBPVb vb;
    vb.Add("1.1", 2, -2147483647 - 1);
    vb.Add("1.2", 2, 2147483647);
    char oid[8];
    int type = 0, n = 0;
    vb.Get(0, oid, sizeof oid, type, n);
    EXPECT_EQ(n, -2147483647 - 1);
    vb.Get(1, oid, sizeof oid, type, n);
    EXPECT_EQ(n, 2147483647);
}

TEST(BindingList, CopiesNeverShareStorage)
{
    CQBPVb a;
    a.Add("1.1", 4, "one");
    CQBPVb b(a);
    CQBPVb c;
    c.Add("9.9", 2, 9);
    c.Copy(a);
    a.Remove();
    a.Add("1.1", 4, "changed");
    EXPECT_EQ(b.GetSize(), 1);
    EXPECT_EQ(b.ValueAt(0), "one");
    EXPECT_EQ(c.GetSize(), 1);
    EXPECT_EQ(c.ValueAt(0), "one");
    c.Copy(c);
    EXPECT_EQ(c.GetSize(), 1);
}

TEST(BindingList, NullPointersNeverCrash)
{
    CQBPVb vb;
    EXPECT_EQ(vb.Add(static_cast<const char*>(nullptr), 4, static_cast<const char*>(nullptr)), 0);
    EXPECT_EQ(vb.OidAt(0), "");
    EXPECT_EQ(vb.ValueAt(0), "");
}

} // namespace
