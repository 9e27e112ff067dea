// The simulated printer's system parameters: writable, within the ranges
// of its firmware (badValue outside them), also after the fleet file or the
// description gave them a value.
#include <gtest/gtest.h>

#include "Ber.h"
#include "Mib.h"
#include "Parameters.h"
#include "Printer.h"
#include "qavres/Resources.h"

namespace {

using namespace qavsim;

class SimParameters : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(table_.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt"));
        PrinterEntry entry;
        entry.address = 0x7F000B01;
        entry.objects[20661] = "900"; // beyond the range: the fleet file may say so
        entry.name = "Dock 1";
        std::string error;
        ASSERT_TRUE(printer_.Build(entry, table_, error)) << error;
    }
    // The status of a SET of one object at instance 0.
    int Set(int object, Value value, int version = 0)
    {
        Message m;
        m.version = version;
        m.community = "kestra";
        m.pduType = kSetRequest;
        m.requestId = 7;
        m.varbinds.push_back({ParameterOid(table_, object), std::move(value)});
        auto answer = Answer(printer_.Objects(), printer_.Policy(), m);
        return answer ? answer->errorStatus : -1;
    }
    const Value& Get(int object) { return printer_.Objects().Find(ParameterOid(table_, object))->value; }

    qavres::ObjectTable table_;
    Printer printer_;
};

constexpr int kBadValue = 3;

TEST_F(SimParameters, NumbersWithinTheirRange)
{
    EXPECT_EQ(Get(20721).number, 5) << "the initial darkness";
    EXPECT_EQ(Set(20721, Value::Integer(11)), kBadValue);
    EXPECT_EQ(Set(20721, Value::Integer(0), 1), kBadValue) << "badValue in version 2c too";
    EXPECT_EQ(Set(20721, Value::Integer(10)), 0);
    EXPECT_EQ(Get(20721).number, 10);
    EXPECT_EQ(Set(25061, Value::Integer(-99)), 0);
    EXPECT_EQ(Set(25061, Value::Integer(-100)), kBadValue);
    EXPECT_EQ(Get(20661).number, 900) << "the fleet file's value";
    EXPECT_EQ(Set(20661, Value::Integer(900)), kBadValue) << "its range stays";
    EXPECT_EQ(Set(20661, Value::Integer(832)), 0);
}

TEST_F(SimParameters, TextsAndHexTexts)
{
    EXPECT_EQ(Get(201).bytes, "Dock 1");
    EXPECT_EQ(Set(201, Value::Text(std::string(256, 'x'))), kBadValue);
    EXPECT_EQ(Set(201, Value::Text("Dock 2")), 0);
    EXPECT_EQ(Get(25521).bytes, "0000FFFF");
    EXPECT_EQ(Set(25521, Value::Text("AB1")), kBadValue);
    EXPECT_EQ(Set(25521, Value::Text("AB12FFFG")), kBadValue);
    EXPECT_EQ(Set(25521, Value::Text("AB12FFFF")), 0);
    EXPECT_EQ(Set(25501, Value::Text("")), kBadValue) << "at least one character";
}

TEST_F(SimParameters, TheOwnAddressIsALoopbackAddress)
{
    EXPECT_TRUE(Get(obj::kOwnAddress) == Value::Ip(0x7F000B01));
    EXPECT_EQ(Set(obj::kOwnAddress, Value::Ip(0x0A000001)), kBadValue);
    EXPECT_EQ(Set(obj::kOwnAddress, Value::Ip(0x7F000B02)), 0);
    EXPECT_EQ(Set(22721, Value::Ip(0xFFFFFF00)), 0);
}

} // namespace
