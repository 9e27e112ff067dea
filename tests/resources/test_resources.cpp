// The object table and language texts: file format, lookups, load errors.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestPeers.h"
#include "qavres/Resources.h"

namespace {

using qavres::ObjectTable;
using qavres::StringTable;

TEST(TypeNames, MatchByPrefix)
{
    EXPECT_EQ(qavres::TypeCodeFromName("Integer"), 2);
    EXPECT_EQ(qavres::TypeCodeFromName("Integer32"), 2);
    EXPECT_EQ(qavres::TypeCodeFromName("String"), 4);
    EXPECT_EQ(qavres::TypeCodeFromName("OID"), 6);
    EXPECT_EQ(qavres::TypeCodeFromName("IPAddress"), 64);
    EXPECT_EQ(qavres::TypeCodeFromName("Counter32"), 65);
    EXPECT_EQ(qavres::TypeCodeFromName("Guage32"), 66);
    EXPECT_EQ(qavres::TypeCodeFromName("Timeticks"), 67);
    EXPECT_EQ(qavres::TypeCodeFromName("Counter64"), 70);
    EXPECT_EQ(qavres::TypeCodeFromName("Gauge32"), 5); // the table's own spelling is "Guage32"
    EXPECT_EQ(qavres::TypeCodeFromName(""), 5);
    EXPECT_EQ(qavres::TypeCodeFromName("Str"), 5);
}

TEST(StringTables, TextsAndObjectsInOneFormat)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("t.txt"), "# comment\n"
                                          "\n"
                                          "2180 = Search\n"
                                          "2181 =  two leading blanks\\tand a tab\r\n"
                                          "2182 = a = b\n"
                                          "20101 1.3.6.1.4.1.32473.1.20101 String  # model name\n");
    StringTable t;
    std::string error;
    ASSERT_TRUE(t.LoadFile(dir.File("t.txt"), &error)) << error;
    EXPECT_EQ(t.Get(2180), "Search");
    EXPECT_EQ(t.Get(2181), " two leading blanks\tand a tab");
    EXPECT_EQ(t.Get(2182), "a = b");
    EXPECT_EQ(t.Get(20101), "1.3.6.1.4.1.32473.1.20101");
    EXPECT_EQ(t.Get(20102), "String");
    EXPECT_EQ(t.Get(4242), "");
    char buf[5];
    EXPECT_EQ(t.LoadString(2180, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "Sear");
    EXPECT_EQ(t.LoadString(4242, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
}

TEST(StringTables, BadFilesAreRefusedWithTheLine)
{
    qavtest::TempDir dir;
    StringTable t;
    std::string error;
    EXPECT_FALSE(t.LoadFile(dir.File("missing.txt"), &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos);

    qavtest::WriteFile(dir.File("dup.txt"), "1 = a\n1 = b\n");
    EXPECT_FALSE(t.LoadFile(dir.File("dup.txt"), &error));
    EXPECT_NE(error.find("dup.txt:2"), std::string::npos);

    qavtest::WriteFile(dir.File("overlap.txt"), "201 1.3.6.1.2.1.1.5 String\n202 = x\n");
    EXPECT_FALSE(t.LoadFile(dir.File("overlap.txt"), &error));

    qavtest::WriteFile(dir.File("bad.txt"), "201 1.3.x String\n");
    EXPECT_FALSE(t.LoadFile(dir.File("bad.txt"), &error));
    qavtest::WriteFile(dir.File("bad2.txt"), "just words\n");
    EXPECT_FALSE(t.LoadFile(dir.File("bad2.txt"), &error));
    EXPECT_FALSE(t.IsLoaded());
}

// The shipped tables load from the program's resource folder.
TEST(ShippedTables, LoadBesideTheProgram)
{
    ::unsetenv("QAV_RESOURCE_DIR");
    ObjectTable objects;
    std::string error;
    ASSERT_TRUE(objects.Load(&error)) << error;
    EXPECT_EQ(objects.Oid(201), "1.3.6.1.2.1.1.5");
    EXPECT_EQ(objects.TypeCode(201), 4);
    EXPECT_EQ(objects.RequestOid(201), "1.3.6.1.2.1.1.5.0");
    EXPECT_EQ(objects.RequestOid(121, 1), "1.3.6.1.2.1.25.3.5.1.1.1");
    EXPECT_EQ(objects.TypeCode(1361), 6);
    EXPECT_EQ(objects.RequestOid(99999), "");
    EXPECT_EQ(objects.Find("1.3.6.1.2.1.1.5"), 201);

    StringTable texts;
    ASSERT_TRUE(texts.Load(qavres::kLanguage, &error)) << error;
    EXPECT_EQ(texts.Get(3300), "1.3.6.1.4.1.32473");
}

TEST(ShippedTables, MissingFolderFailsToLoad)
{
    ::setenv("QAV_RESOURCE_DIR", "/nonexistent/qav", 1);
    StringTable texts;
    std::string error;
    EXPECT_FALSE(texts.Load(qavres::kLanguage, &error));
    ::unsetenv("QAV_RESOURCE_DIR");
}

} // namespace
