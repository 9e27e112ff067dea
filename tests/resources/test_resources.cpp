// The object table and language texts: file format, lookups, load errors;
// the shipped tables against every object and text number the programs use;
// the standard objects against real printers (snmpsim serving recordings).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"
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

// The object lines keep their comments as the objects' descriptions; texts
// and lines without a comment have none.
TEST(StringTables, ObjectLinesKeepTheirComments)
{
    qavtest::TempDir dir;
    qavtest::WriteFile(dir.File("o.txt"), "20101 1.3.6.1.4.1.32473.1.20101 String  #  model name (\"M-RA1\")  \r\n"
                                          "2180 = Search # not a comment\n"
                                          "201   1.3.6.1.2.1.1.5   String\n"
                                          "121 1.3.6.1.2.1.25.3.5.1.1 Integer # hrPrinterStatus (column): 3 idle\n");
    ObjectTable table;
    std::string error;
    ASSERT_TRUE(table.LoadFile(dir.File("o.txt"), &error)) << error;
    EXPECT_EQ(table.Numbers(), (std::vector<int>{121, 201, 20101})) << "objects only, ascending";
    EXPECT_EQ(table.Description(20101), "model name (\"M-RA1\")");
    EXPECT_EQ(table.Description(121), "hrPrinterStatus (column): 3 idle");
    EXPECT_EQ(table.Description(201), "");
    EXPECT_EQ(table.Description(2180), "");
    EXPECT_EQ(table.Strings().Get(2180), "Search # not a comment");

    // A file that fails keeps what was loaded before, descriptions included.
    qavtest::WriteFile(dir.File("bad.txt"), "401 1.3.6.1.2.1.2.2.1.2 String # ifDescr\n402 = clash\n");
    EXPECT_FALSE(table.LoadFile(dir.File("bad.txt"), &error));
    EXPECT_EQ(table.Description(20101), "model name (\"M-RA1\")");
    EXPECT_EQ(table.Description(401), "");
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


// ---------------------------------------------------------------------------
// The shipped tables against the numbers the programs use
// ---------------------------------------------------------------------------

// Type codes of the object table's type names.
constexpr int I = 2;  // Integer
constexpr int S = 4;  // String (octet string)
constexpr int O = 6;  // OID
constexpr int A = 64; // IPAddress
constexpr int C = 65; // Counter32

struct NamedObject {
    int number;
    int type; // the type the object's use implies
};

struct ObjectGroup {
    const char* usedBy;
    std::vector<NamedObject> objects;
};

std::vector<NamedObject> Step(int first, int last, int type, int step = 20)
{
    std::vector<NamedObject> out;
    for (int n = first; n <= last; n += step) out.push_back({n, type});
    return out;
}

std::vector<NamedObject> Join(std::initializer_list<std::vector<NamedObject>> parts)
{
    std::vector<NamedObject> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Every object number the programs read or write, grouped by where it is
// used, with the value type its use implies.
const std::vector<ObjectGroup>& ObjectsInUse()
{
    static const std::vector<ObjectGroup> groups = {
        {"device list: maker's object set (search, refresh, polling)",
         {{201, S}, {121, I}, {81, S}, {221, S}, {20781, S}, {20801, S}, {20821, S}, {20901, I}, {20941, I},
          {22761, I}, {22801, S}, {161, S}, {1421, I}, {24161, I}, {24141, I}}},
        {"device list: standard object set", {{201, S}, {121, I}, {81, S}, {221, S}, {141, S}, {1381, S}, {1421, I}}},
        {"device list: maker check and discovery OID", {{1361, O}}},
        {"device search: device check", {{1401, O}, {1441, C}}},
        {"trap handling: detail bindings", {{20961, I}, {20981, S}, {21001, S}, {21021, S}, {21041, I}}},
        {"environmental log: head check", {{20881, I}, {20901, I}, {20941, I}}},
        {"environmental log: counter information",
         Join({Step(21421, 21601, I), Step(23881, 24021, I), {{24141, I}, {24161, I}}})},
        {"environmental log: diagnosis part 1 (setting values)",
         {{20001, S}, {20701, I}, {20721, I}, {20681, S}, {20641, I}, {20661, I}, {20741, I}, {20761, I}, {25061, I},
          {25081, I}}},
        {"environmental log: diagnosis part 2 (sizes)",
         Join({{{20421, I}}, Step(23321, 23541, I), Step(26281, 26341, I), {{23526, I}, {23546, I}}})},
        {"environmental log: diagnosis part 3 (information)",
         Join({Step(20101, 20381, S),
               {{26561, S}, {26581, S}, {26601, S}, {20081, I}, {23841, S}, {23861, S}},
               {{25181, S}, {25201, S}, {25221, S}, {25241, S}}})},
        {"environmental log: diagnosis part 4 (counters in tenths)",
         Join({Step(21061, 21401, I), {{24961, I}, {24981, I}}})},
        {"environmental log: printer information",
         {{201, S}, {20901, I}, {81, S}, {221, S}, {20781, S}, {20801, S}, {20821, S}}},
        {"environmental log and network page: interface and address",
         {{401, S}, {421, I}, {441, S}, {661, A}, {681, A}}},
        {"network page: interface counters (other printers)", Step(461, 601, C)},
        {"network page: ip, icmp, tcp, udp and snmp counters", Join({Step(621, 641, C), Step(701, 861, C),
                                                                     Step(241, 381, C)})},
        {"status monitor: basic objects",
         {{1361, O}, {181, S}, {201, S}, {161, S}, {81, S}, {221, S}, {121, I}, {141, S}, {1301, S}, {20821, S},
          {20801, S}, {20781, S}, {20061, S}, {441, S}, {22761, I}, {20041, S}}},
        {"device status page: status and panel", {{20901, I}, {20921, S}, {20941, I}, {1281, S}}},
        {"device status page: counters", {{1161, C}, {1141, I}, {21421, I}, {25341, I}, {21441, I}, {21461, I},
                                          {21481, I}}},
        {"device status page: information (maker)",
         Join({Step(20101, 20381, S), {{26561, S}, {26581, S}, {26601, S}, {20081, I}, {23841, S}, {23861, S}}})},
        {"device status page: information (other printers)", {{1241, S}, {1261, S}}},
        // The supplies' maximum capacity is an integer on every printer.
        {"device status page: level tables",
         {{1001, S}, {981, I}, {941, I}, {1101, S}, {1061, I}, {1181, S}, {1221, I}}},
        {"device status page: sizes (other printers, five columns from 1461)",
         {{1461, S}, {1481, I}, {1501, I}, {1521, I}, {1541, C}}},
        {"device status page: picture choice", {{20061, S}, {20041, S}, {20101, S}, {161, S}}},
        {"job status page", {{20961, I}, {20981, S}, {20901, I}, {21041, I}, {21001, S}, {21021, S}}},
        {"remote keys and device setting",
         {{20861, I}, {20841, I}, {201, S}, {221, S}, {20781, S}, {20801, S}, {181, S}, {20821, S}, {22761, I}}},
        {"system setting tool: printer check and apply", {{20901, I}, {20101, S}, {23781, S}, {20841, I}}},
        {"object table examples", {{20101, S}, {20901, I}, {23781, S}}},
    };
    return groups;
}

const char* const kTypeNames[] = {"Integer", "String", "OID", "IPAddress", "Counter32", "Guage32", "Timeticks",
                                  "Counter64"};

bool IsDottedOid(const std::string& text)
{
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (text[i + 1] == '.') return false;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

class ShippedObjectTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::unsetenv("QAV_RESOURCE_DIR");
        std::string error;
        ASSERT_TRUE(table_.Load(&error)) << error;
    }
    // The object numbers of the table: the entries holding an OID.
    std::vector<int> Objects() const
    {
        std::vector<int> out;
        for (const auto& [id, text] : table_.Strings().All()) {
            if (IsDottedOid(text)) out.push_back(id);
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    ObjectTable table_;
};

TEST_F(ShippedObjectTable, EveryEntryIsAnObjectWithAKnownTypeName)
{
    const std::vector<int> objects = Objects();
    std::set<int> typeEntries;
    for (int n : objects) {
        const std::string& type = table_.TypeName(n);
        EXPECT_NE(std::find(std::begin(kTypeNames), std::end(kTypeNames), type), std::end(kTypeNames))
            << "object " << n << " has the type name \"" << type << "\"";
        typeEntries.insert(n + 1);
    }
    // Nothing else lives in the table: every entry is an OID or its type.
    for (const auto& [id, text] : table_.Strings().All()) {
        EXPECT_TRUE(IsDottedOid(text) || typeEntries.count(id)) << "entry " << id << " \"" << text << "\"";
    }
    EXPECT_FALSE(objects.empty());
}

TEST_F(ShippedObjectTable, EveryObjectInUseIsPresentWithTheTypeItsUseImplies)
{
    for (const ObjectGroup& group : ObjectsInUse()) {
        for (const NamedObject& o : group.objects) {
            EXPECT_FALSE(table_.Oid(o.number).empty()) << group.usedBy << ": object " << o.number << " is missing";
            EXPECT_EQ(table_.TypeCode(o.number), o.type)
                << group.usedBy << ": object " << o.number << " is \"" << table_.TypeName(o.number) << "\"";
        }
    }
}

TEST_F(ShippedObjectTable, OidsAreDistinctAndInTheirFamily)
{
    std::map<std::string, int> seen;
    for (int n : Objects()) {
        const std::string& oid = table_.Oid(n);
        auto [it, fresh] = seen.emplace(oid, n);
        EXPECT_TRUE(fresh) << "objects " << it->second << " and " << n << " share " << oid;
        if (n >= 20000) {
            // The maker's objects: the documentation enterprise, the number as the last arc.
            EXPECT_EQ(oid, "1.3.6.1.4.1.32473.1." + std::to_string(n)) << "object " << n;
        } else {
            EXPECT_EQ(oid.rfind("1.3.6.1.2.1.", 0), 0u) << "object " << n << ": " << oid;
        }
    }
    // Find() maps an OID back to its object.
    EXPECT_EQ(table_.Find("1.3.6.1.4.1.32473.1.20901"), 20901);
    EXPECT_EQ(table_.Find("1.3.6.1.2.1.25.3.5.1.1"), 121);
}

// The system setting tool writes its parameters with only these types.
TEST_F(ShippedObjectTable, SettingToolParametersHaveWritableTypes)
{
    StringTable pages;
    std::string error;
    ASSERT_TRUE(pages.Load("NCreseng", &error)) << error;
    const int base = 10000;
    const int pageCount = std::atoi(pages.Get(base + 1).c_str());
    ASSERT_GT(pageCount, 0);
    for (int m = 1; m <= 4; ++m) EXPECT_FALSE(pages.Get(base + 1 + m).empty()) << "title of mode " << m;
    int parameters = 0;
    for (int p = 0; p < pageCount; ++p) {
        EXPECT_FALSE(pages.Get(base + 10 + 70 * p).empty()) << "page " << p;
        EXPECT_FALSE(pages.Get(base + 11 + 70 * p).empty()) << "level of page " << p;
        const int blocks = std::atoi(pages.Get(base + 12 + 70 * p).c_str());
        ASSERT_GT(blocks, 0) << "page " << p;
        int k = 0;
        for (int i = 0; i < blocks; ++i) {
            const int count = std::atoi(pages.Get(base + 13 + 70 * (p + i)).c_str());
            ASSERT_GT(count, 0);
            ASSERT_LE(count, 20);
            for (int j = 0; j < count; ++j, ++k) {
                const int id = base + 14 + 70 * p + 3 * k + 10 * (k / 20);
                ASSERT_EQ(id, base + 14 + 70 * (p + i) + 3 * j);
                const int d = std::atoi(pages.Get(id).c_str());
                ASSERT_GT(d, 0) << "parameter " << id;
                EXPECT_FALSE(pages.Get(d + 2).empty()) << "kind of definition " << d;
                const std::string& key = pages.Get(id + 1);
                EXPECT_LE(key.size(), 15u) << key;
                int object = 0, instance = -1;
                ASSERT_EQ(std::sscanf(key.c_str(), "%d.%d", &object, &instance), 2) << key;
                const std::string& type = table_.TypeName(object);
                EXPECT_TRUE(type == "Integer" || type == "String" || type == "IPAddress" || type == "Counter32")
                    << key << " is " << type;
                const std::string& path = pages.Get(id + 2);
                EXPECT_EQ(std::count(path.begin(), path.end(), '|'), 2) << path;
                ++parameters;
            }
        }
    }
    EXPECT_GT(parameters, 0);
}

// The download tool's printer information OIDs are objects of the table:
// answers 12 to 14 are integers, the others texts.
TEST_F(ShippedObjectTable, DownloadToolOidsAreObjectsOfTheTable)
{
    StringTable loader;
    std::string error;
    ASSERT_TRUE(loader.Load("QDLRSENG", &error)) << error;
    for (int id = 7000; id <= 7018; ++id) {
        const int object = table_.Find(loader.Get(id));
        ASSERT_NE(object, 0) << "text " << id << " \"" << loader.Get(id) << "\"";
        const bool integer = id >= 7012 && id <= 7014;
        EXPECT_EQ(table_.TypeCode(object), integer ? I : S) << "text " << id << " = object " << object;
    }
    EXPECT_EQ(table_.Find(loader.Get(7000)), 161);
    EXPECT_EQ(table_.Find(loader.Get(7001)), 201);
    for (int id : {7050, 7051}) {
        const int object = table_.Find(loader.Get(id));
        ASSERT_NE(object, 0) << "text " << id;
        EXPECT_EQ(table_.TypeCode(object), S);
    }
}

// ---------------------------------------------------------------------------
// Language texts
// ---------------------------------------------------------------------------

struct TextGroup {
    const char* usedBy;
    std::vector<int> ids;
};

std::vector<int> Ids(int first, int last)
{
    std::vector<int> out;
    for (int n = first; n <= last; ++n) out.push_back(n);
    return out;
}

std::vector<int> Ids(std::initializer_list<std::vector<int>> parts)
{
    std::vector<int> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Every text number of the main language library the programs use.
const std::vector<TextGroup>& MainTextsInUse()
{
    static const std::vector<TextGroup> groups = {
        {"device list: status texts of the maker's printers", Ids(3000, 3047)},
        {"device list: status texts of other printers", Ids({Ids(3100, 3104), Ids(3110, 3114), {3150}})},
        {"device list: a printer that has not answered yet", {3151}},
        {"device list: maker's identifier", {3300}},
        {"group file and list window messages", {2000, 2200, 2201, 2210}},
        {"device search", Ids({Ids(2180, 2183), {3310}})},
        {"list window: title, menus, status bar",
         Ids({{2000, 2010}, Ids(2011, 2015), {2020}, Ids(2021, 2028), {2030}, Ids(2031, 2036), {2040},
              Ids(2041, 2044), {2050}, Ids(2051, 2052), {2070, 2072}})},
        {"list window: headings", Ids(2120, 2132)},
        {"list window: the status marks", Ids(2053, 2058)},
        {"monitor: the tray's fleet state, the missing data folder", Ids(1021, 1032)},
        {"settings dialogs: the mail connection", Ids(4096, 4104)},
        {"list window: file filters and start failures", {3302, 3303, 3311, 3312, 3313, 3314}},
        {"list editing dialogs", Ids({{2140, 2149, 2150}, Ids(2160, 2165), Ids(2170, 2173)})},
        {"monitor: start-up, login, tray menu, exit",
         Ids({{101, 111, 201, 306, 384, 725, 726}, Ids(1000, 1007), Ids(1010, 1019), {3311, 3312}})},
        {"trap handling: messages", Ids({Ids(749, 781), Ids(815, 829), Ids(845, 848)})},
        {"trap handling: sounds and trap port", Ids({{3199}, Ids(3201, 3214), {3217}, Ids(4064, 4066)})},
        {"notification mail: subjects and labels",
         Ids({Ids(791, 801), Ids(807, 809), {811, 812, 814}, Ids(830, 840), {843, 849}, Ids(1150, 1153)})},
        {"environmental log: schedule", Ids(4145, 4147)},
        {"environmental log: system and head check", Ids({Ids(1050, 1057), Ids(1060, 1062), {389, 393}})},
        {"environmental log: counters", Ids({{1065}, Ids(5112, 5121), Ids(6000, 6007), {5133, 5134}})},
        {"environmental log: diagnosis",
         Ids({{1070}, Ids(5231, 5240), Ids(1071, 1083), Ids(6102, 6107), Ids(1084, 1099), Ids(1160, 1162),
              {1118, 1119, 1163}, Ids(1100, 1117), {1140, 1141}})},
        {"environmental log: printer and network information",
         Ids({Ids(1120, 1127), {1130}, Ids(5600, 5604), {5615, 5616}, Ids(5618, 5622), {5624, 5625, 5627, 5628},
              Ids(5630, 5637), Ids(3000, 3047)})},
        {"settings: log cycle and days", Ids(4145, 4154)},
        {"settings dialogs",
         Ids({Ids(4000, 4006), {4201, 4202}, Ids(4010, 4015), Ids(4020, 4023), {4030, 4043, 4047, 4048, 4050},
              Ids(4062, 4066), {4070, 4105, 4107, 4108, 4120}, Ids(4190, 4193), {4200}})},
        {"settings dialogs: start at logon, file filters, test mail",
         Ids({{4007, 4044, 4045, 4094, 4095, 4106, 4139, 4140}})},
        {"settings dialogs: the recipients' printer conditions", Ids(4160, 4183)},
        {"status monitor: window, menu, messages",
         Ids({{200, 201, 3300, 3310, 3311}, Ids(5000, 5003), Ids(5010, 5022), Ids(5030, 5038), {5060, 5061, 5065},
              Ids(2202, 2205), {2073, 5067, 5068}})},
        {"device status page",
         Ids({Ids(5040, 5046), {5050, 5051, 5070}, Ids(5071, 5079), {5110, 5111}, Ids(5112, 5115), {5136},
              Ids(5122, 5132), {5135}, Ids(5192, 5205), {5221, 5222, 5280, 5281, 5190, 5191},
              Ids(5101, 5107), Ids(5250, 5252), Ids(5255, 5257), Ids(5260, 5262), Ids(5206, 5209),
              Ids(5217, 5220), Ids(5210, 5216), Ids(5140, 5151), {6108}, Ids(5160, 5169), Ids(5180, 5189),
              Ids(5231, 5241), {8000, 3028, 3150}})},
        {"job and network status pages", Ids({{5500, 5501}, Ids(5503, 5505), Ids(5600, 5637)})},
        {"remote keys and device setting", Ids({Ids(5300, 5306), {5066}, Ids(5310, 5319)})},
    };
    return groups;
}

// The download tool's library (QDLRSENG).
const std::vector<TextGroup>& LoaderTextsInUse()
{
    static const std::vector<TextGroup> groups = {
        {"download kinds and save dialog", Ids({{3002}, Ids(3400, 3408)})},
        {"FTP catalog", Ids({{4000}, Ids(4100, 4103)})},
        {"printer selection and start-up", {4420, 4421, 6000, 6001, 6002}},
        {"download progress and questions", Ids({{5001}, Ids(5003, 5012)})},
        {"printer information OIDs", Ids({Ids(7000, 7018), {7050, 7051}})},
        {"download report and errors",
         Ids({Ids(8000, 8006), {8010, 8011}, Ids(8020, 8027), {8030, 8060, 8061, 8062, 8071}, Ids(8080, 8084),
              Ids(8090, 8095)})},
        {"printer list columns", Ids({{10000}, Ids(10001, 10006), Ids(10011, 10016)})},
        {"main window", Ids(3010, 3032)},
        {"printer selection, adding and information", Ids({Ids(3100, 3113), {3130, 3131}})},
        {"FTP selection, download window and settings", Ids({Ids(3200, 3205), Ids(3250, 3256), Ids(3300, 3303)})},
        {"window background colours", Ids(10100, 10132)},
    };
    return groups;
}

// The system setting tool's library (NCreseng).
const std::vector<TextGroup>& ConfigTextsInUse()
{
    static const std::vector<TextGroup> groups = {
        {"printer list of the list mode and tree", Ids(5020, 5031)},
        {"parameter windows", Ids(5040, 5055)},
        {"file filters", Ids(5100, 5102)},
        {"messages", Ids(6000, 6006)},
        {"default pages: count and window titles", Ids(10001, 10005)},
    };
    return groups;
}

// The conversions of a printf format, "%%" left out: "%d %5.1f%%" gives "df".
std::string Conversions(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') continue;
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && std::string("-+ #0123456789.hlLqjzt*").find(text[j]) != std::string::npos) ++j;
        out += j < text.size() ? text[j] : '?';
        i = j;
    }
    return out;
}

// Texts filled by printf-style formats, with the conversions the callers pass.
const std::map<std::string, std::map<int, std::string>>& Formats()
{
    static const std::map<std::string, std::map<int, std::string>> formats = {
        {"QAVLANG",
         {{1020, "s"},  // the group file that could not be saved
          {1021, "d"}, {1022, "d"}, {1023, "d"}, {1024, "d"}, {1025, "d"}, {1026, "d"}, // the tray's counts
          {1032, "ss"}, // the missing data folder and the command that makes it
          {2072, "d"},  // refresh cycle in seconds
          {3028, "d"},  // unknown status code
          {5061, "d"},  // polling period in seconds
          {5122, "s"},  // a maker counter in tenths, rendered "123.4"
          {5135, "s"},  // a maker counter of the M-RC models
          {5195, "sss"}, {5197, "sss"}, {5199, "ss"}, {5201, "sss"}, {5203, "sss"}, {5205, "s"},
          {5222, "sss"}, {5281, "ss"}, // information view, the values named by each row
          {5217, "s"}, {5218, "s"}, {5219, "s"}, {5220, "s"}, // sizes by level, rendered amount
          {5240, "s"},  // setting in tenths, rendered "12.3"
          {5067, "s"},  // the help file looked for
          {5068, "s"}}}, // the status monitor's version
        {"QDLRSENG",
         {{8080, "ddd"}, {8081, "ddd"}, {8082, "ddd"}, // code, result, system error
          {8083, "dd"},                              // code, result
          {8090, "dd"}, {8091, "dd"}}},              // result, system error
        {"NCreseng", {{5031, "s"},                   // parameter name
                      {5048, "s"}}},                 // why the settings were not written
    };
    return formats;
}

class ShippedTexts : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedTexts, LoadAndHoldEveryTextInUse)
{
    ::unsetenv("QAV_RESOURCE_DIR");
    const std::string name = GetParam();
    StringTable texts;
    std::string error;
    ASSERT_TRUE(texts.Load(name, &error)) << error;
    const std::vector<TextGroup>& groups =
        name == "QAVLANG" ? MainTextsInUse() : name == "QDLRSENG" ? LoaderTextsInUse() : ConfigTextsInUse();
    for (const TextGroup& group : groups) {
        for (int id : group.ids) EXPECT_FALSE(texts.Get(id).empty()) << name << ": " << group.usedBy << ": text " << id;
    }
}

TEST_P(ShippedTexts, FormatsCarryExactlyTheirConversions)
{
    const std::string name = GetParam();
    StringTable texts;
    std::string error;
    ASSERT_TRUE(texts.Load(name, &error)) << error;
    const std::map<int, std::string>& formats = Formats().at(name);
    for (const auto& [id, text] : texts.All()) {
        auto it = formats.find(id);
        EXPECT_EQ(Conversions(text), it == formats.end() ? "" : it->second) << name << " text " << id << ": " << text;
    }
    for (const auto& [id, conversions] : formats) EXPECT_FALSE(texts.Get(id).empty()) << name << " text " << id;
}

INSTANTIATE_TEST_SUITE_P(Libraries, ShippedTexts, ::testing::Values("QAVLANG", "QDLRSENG", "NCreseng"));

TEST(ShippedTextValues, TextsTheProgramsCompareOrJoin)
{
    ::unsetenv("QAV_RESOURCE_DIR");
    StringTable lang, loader;
    std::string error;
    ASSERT_TRUE(lang.Load(qavres::kLanguage, &error)) << error;
    ASSERT_TRUE(loader.Load("QDLRSENG", &error)) << error;
    // The maker's identifier: the start of the maker's printers' sysObjectID.
    EXPECT_EQ(lang.Get(3300), "1.3.6.1.4.1.32473");
    EXPECT_EQ(lang.Get(101), "&About NWATCH...");
    // The picture of the MC111W follows whether the language is English.
    EXPECT_EQ(lang.Get(8000).rfind("English", 0), 0u);
    // The catalog of the FTP server has 9 fields per line; the list N columns.
    EXPECT_EQ(loader.Get(4000), "9");
    const int columns = std::atoi(loader.Get(10000).c_str());
    ASSERT_GT(columns, 0);
    for (int c = 1; c <= columns; ++c) EXPECT_FALSE(loader.Get(10000 + c).empty()) << "column " << c;
    // Texts that something is appended to directly end in a blank.
    for (int id : {781, 814, 1057, 3302, 3303}) {
        ASSERT_FALSE(lang.Get(id).empty()) << id;
        EXPECT_EQ(lang.Get(id).back(), ' ') << "text " << id;
    }
    // The 48 status texts of the maker's printers are all different.
    std::set<std::string> status;
    for (int id = 3000; id <= 3047; ++id) status.insert(lang.Get(id));
    EXPECT_EQ(status.size(), 48u);
    // The log cycle is stored as its text and read back case-insensitively.
    std::set<std::string> cycles = {lang.Get(4145), lang.Get(4146), lang.Get(4147)};
    EXPECT_EQ(cycles.size(), 3u);
}

// ---------------------------------------------------------------------------
// Standard objects on real printers: snmpsim serving the printer recordings
// ---------------------------------------------------------------------------

struct Recorded {
    std::string oid;
    int type;
};

// The records of an snmprec file in OID order (numeric, as an agent walks).
std::vector<Recorded> ParseRecording(const std::string& text)
{
    std::vector<Recorded> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t a = line.find('|');
        const size_t b = line.find('|', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        out.push_back({line.substr(0, a), std::atoi(line.substr(a + 1, b - a - 1).c_str())});
    }
    auto arcs = [](const std::string& oid) {
        std::vector<unsigned long> v;
        std::istringstream s(oid);
        std::string part;
        while (std::getline(s, part, '.')) v.push_back(std::stoul(part));
        return v;
    };
    std::sort(out.begin(), out.end(), [&](const Recorded& x, const Recorded& y) { return arcs(x.oid) < arcs(y.oid); });
    return out;
}

// Standard objects that none of the recordings holds (output bins,
// interpreters, console): checked by their presence in the table only.
const std::set<int> kNotRecorded = {1181, 1221, 1241, 1261, 1281, 1301};

// The folder of the printer recordings: $QAV_SNMPREC_DIR, else the copy
// kept with the tests.
std::string RecordingDir()
{
    if (const char* env = std::getenv("QAV_SNMPREC_DIR"); env && *env) return env;
    return QAV_SOURCE_DIR "/tests/data/snmprec";
}

const char* const kRecordings[] = {"zebra-tlp2824plus", "brother-hl-5370dw", "hp-color-laserjet-pro-m252dw",
                                   "sharp-mx-m266nv",   "canon-tm-5300",     "konica-minolta-bizhub-c250i",
                                   "epson-wf-c5790",    "dell-s5830dn"};

class StandardObjectsOnPrinters : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!qavtest::HaveProgram("snmpsimd")) return;
        const std::string dir = RecordingDir();
        if (dir.empty()) return;
        std::map<std::string, std::string> recordings;
        for (const char* name : kRecordings) {
            const std::string text = qavtest::ReadFile(dir + "/" + name + ".snmprec");
            if (text.empty()) continue;
            // snmpsim names the community after the file: letters and digits suffice.
            std::string community;
            for (char c : std::string(name)) {
                if (c != '-') community += c;
            }
            recordings[community] = text;
            records_[community] = ParseRecording(text);
        }
        if (recordings.empty()) return;
        port_ = qavtest::PrepareAgentPort();
        address_ = qavtest::LoopbackAddress(1);
        sim_ = new qavtest::SnmpSimAgent;
        started_ = sim_->Start(address_, port_, recordings);
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        sim_ = nullptr;
    }
    void SetUp() override
    {
        if (!qavtest::HaveProgram("snmpsimd")) GTEST_SKIP() << "snmpsimd is not installed";
        ASSERT_FALSE(records_.empty()) << "the printer recordings were not found (set QAV_SNMPREC_DIR)";
        ASSERT_TRUE(started_) << sim_->Log();
        ::unsetenv("QAV_RESOURCE_DIR");
        std::string error;
        ASSERT_TRUE(table_.Load(&error)) << error;
    }

    // One request of one binding on the printer of the community; false
    // when the exchange failed.
    bool Ask(const std::string& community, bool next, const std::string& oid, std::string& answerOid, int& type)
    {
        int rc = 0;
        CQBPTrans t(rc, 2);
        if (rc != 0 || t.SetCommunity(community, community) != 0 || t.Open(0, address_) != 0) return false;
        CQBPVb req, res;
        req.Add(oid, 5, "");
        const int r = next ? t.GetNextObject(req, res) : t.GetObject(req, res);
        t.Close();
        if (r != 0 || res.GetSize() != 1) return false;
        answerOid = res.OidAt(0);
        type = res.GetType(0);
        return true;
    }

    // The standard objects of the table.
    std::vector<int> StandardObjects() const
    {
        std::vector<int> out;
        for (const auto& [id, text] : table_.Strings().All()) {
            if (id < 20000 && IsDottedOid(text)) out.push_back(id);
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    static inline qavtest::SnmpSimAgent* sim_ = nullptr;
    static inline std::map<std::string, std::vector<Recorded>> records_;
    static inline std::string address_;
    static inline int port_ = 0;
    static inline bool started_ = false;
    ObjectTable table_;
};

// A get-next on an object's OID (as the status monitor and the device
// search read) brings its first instance with the type the table names, on
// every printer whose recording holds the object.
TEST_F(StandardObjectsOnPrinters, GetNextAnswersWithTheTableType)
{
    std::map<int, int> answeredBy;
    for (const auto& [community, records] : records_) {
        for (int n : StandardObjects()) {
            const std::string prefix = table_.Oid(n) + ".";
            auto first = std::find_if(records.begin(), records.end(),
                                      [&](const Recorded& r) { return r.oid.rfind(prefix, 0) == 0; });
            if (first == records.end()) continue;
            std::string oid;
            int type = 0;
            ASSERT_TRUE(Ask(community, true, table_.Oid(n), oid, type)) << community << ": object " << n;
            EXPECT_EQ(oid, first->oid) << community << ": object " << n;
            EXPECT_EQ(type, table_.TypeCode(n))
                << community << ": object " << n << " (" << table_.Oid(n) << ") answers type " << type
                << ", the table says " << table_.TypeName(n);
            ++answeredBy[n];
        }
    }
    // Every standard object is answered by some real printer, except those
    // no recording holds; and those are indeed absent from all of them.
    for (int n : StandardObjects()) {
        if (kNotRecorded.count(n))
            EXPECT_EQ(answeredBy.count(n), 0u) << "object " << n << " is recorded after all";
        else
            EXPECT_GT(answeredBy[n], 0) << "object " << n << " (" << table_.Oid(n) << ") is on no printer";
    }
}

// Scalars read by number (the request OID "%s.%d" with instance 0)
// answer a plain get at that OID with the table's type.
TEST_F(StandardObjectsOnPrinters, ScalarsAnswerAGetAtInstanceZero)
{
    int checked = 0;
    for (const auto& [community, records] : records_) {
        std::set<std::string> present;
        for (const Recorded& r : records) present.insert(r.oid);
        for (int n : StandardObjects()) {
            const std::string request = table_.RequestOid(n, 0);
            if (!present.count(request)) continue;
            std::string oid;
            int type = 0;
            ASSERT_TRUE(Ask(community, false, request, oid, type)) << community << ": " << request;
            EXPECT_EQ(oid, request);
            EXPECT_EQ(type, table_.TypeCode(n)) << community << ": object " << n;
            ++checked;
        }
    }
    EXPECT_GT(checked, 100);
    // The printer-status column on the Zebra: idle.
    std::string oid;
    int type = 0;
    ASSERT_TRUE(Ask("zebratlp2824plus", false, table_.RequestOid(121, 1), oid, type));
    EXPECT_EQ(type, I);
}

} // namespace
