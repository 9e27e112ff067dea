// The sample fleet shipped with the simulator stays a valid fleet file and
// means what its comments say: defaults reach every printer, a run numbers
// its printers, the standard and recorded printers are not the maker's, and
// each explained key takes effect.
#include <gtest/gtest.h>

#include <map>

#include "Fleet.h"
#include "TestPeers.h"

namespace {

using namespace qavsim;

class SampleFleet : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(LoadFleetFile(QAV_SOURCE_DIR "/simulator/sample.fleet", QAV_BINARY_DIR "/share/qav/snmprec", fleet,
                                  error))
            << error;
        for (const PrinterEntry& p : fleet.printers) byAddress[AddressText(p.address)] = &p;
    }
    const PrinterEntry& At(const std::string& address)
    {
        const auto it = byAddress.find(address);
        if (it == byAddress.end()) {
            ADD_FAILURE() << "no printer at " << address;
            static const PrinterEntry none;
            return none;
        }
        return *it->second;
    }

    Fleet fleet;
    std::map<std::string, const PrinterEntry*> byAddress;
};

TEST_F(SampleFleet, HoldsTheWarehouseItDescribes)
{
    // Six single printers of the maker's, a run of twelve, two others.
    EXPECT_EQ(fleet.printers.size(), 20u);
    EXPECT_EQ(AddressText(fleet.trapAddress), "127.0.0.1");
    EXPECT_EQ(fleet.trapPort, 162);

    const PrinterEntry& dock = At("127.0.0.51");
    EXPECT_TRUE(dock.maker);
    EXPECT_EQ(dock.name, "Dock labeller");
    EXPECT_EQ(dock.location, "Warehouse A, dock 1"); // its own, over the default
    EXPECT_EQ(dock.manager, "J. Baker");             // the fleet's default
    EXPECT_EQ(dock.model, "QAV M-UH5W");
    EXPECT_EQ(dock.serial, "QS200451");
    EXPECT_EQ(dock.labelCount, 182340u);
    EXPECT_EQ(dock.trapVersion, 1);

    const PrinterEntry& pallet = At("127.0.0.52");
    EXPECT_EQ(pallet.dhcpEnable, 1);
    EXPECT_EQ(pallet.dhcpHostName, "pallet-printer");
    EXPECT_EQ(pallet.statusCode, 80); // paper near end

    const PrinterEntry& tagger = At("127.0.0.53");
    EXPECT_EQ(tagger.rfidOk, 9120);
    EXPECT_EQ(tagger.rfidError, 3);
    EXPECT_EQ(tagger.objects.at(20101), "M-RA1K-P");

    EXPECT_EQ(At("127.0.0.54").trapVersion, 2);
    EXPECT_EQ(At("127.0.0.54").resetMs, 1500);
    EXPECT_TRUE(At("127.0.0.55").lenientGet);
    EXPECT_FALSE(At("127.0.0.51").lenientGet);
    EXPECT_EQ(At("127.0.0.56").raw.tcpPort, 9100);
    EXPECT_EQ(At("127.0.0.56").raw.restartMs, 1000);
}

TEST_F(SampleFleet, RunNumbersItsPrinters)
{
    for (int n = 1; n <= 12; ++n) {
        const PrinterEntry& p = At("127.0.0." + std::to_string(100 + n));
        EXPECT_EQ(p.name, "Shelf labeller " + std::string(n < 10 ? "0" : "") + std::to_string(n));
        EXPECT_EQ(p.location, "Aisle " + std::to_string(n));
        EXPECT_EQ(p.serial, "QS3" + std::string(n < 10 ? "00" : "0") + std::to_string(n));
        EXPECT_EQ(p.model, "QAV M-UG2W");
    }
    EXPECT_EQ(byAddress.count("127.0.0.113"), 0u);
}

TEST_F(SampleFleet, StandardAndRecordedPrintersAreNotTheMakers)
{
    EXPECT_FALSE(At("127.0.0.61").maker);
    EXPECT_EQ(At("127.0.0.61").name, "Office laser");
    const PrinterEntry& recorded = At("127.0.0.62");
    EXPECT_FALSE(recorded.maker);
    EXPECT_NE(recorded.recording.find("zebra-tlp2824plus.snmprec"), std::string::npos);
}

} // namespace
