// What the tests of the system setting tool against the printer simulator
// share: a data folder of their own with the installation's settings, and
// net-snmp's snmpget to read back what was written.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestPeers.h"
#include "nconfig/Printer.h"
#include "nconfig/StartUp.h"

namespace nconfigtest {

// Copies the installation's QNASys.ini and QAVMgmtConfig.INI into `dir` and
// makes it the data folder (QAV_DATA_DIR).
inline void UseDataFolder(const qavtest::TempDir& dir)
{
    ::setenv("QAV_DATA_DIR", dir.Path().c_str(), 1);
    for (const char* f : {"QNASys.ini", "QAVMgmtConfig.INI"})
        qavtest::WriteFile(dir.File(f), qavtest::ReadFile(std::string(QAV_SOURCE_DIR "/settings/initial/") + f));
}

// The value snmpget reads from a maker object at instance 0 ("9",
// "\"AB12FFFF\""), or its complaint.
inline std::string SnmpGetMaker(const std::string& address, int port, int object)
{
    std::string out = qavtest::RunCommand("snmpget -v1 -c kestra -Oqv -t 1 -r 1 " + address + ":" +
                                          std::to_string(port) + " 1.3.6.1.4.1.32473.1." + std::to_string(object) +
                                          ".0");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

// A fixture whose cases share one simulated fleet (started by the suite),
// the data folder and the tool's resources as they ship.
class FleetSuite : public ::testing::Test {
protected:
    // Starts the simulator with the fleet text; call from SetUpTestSuite.
    static void StartFleet(const std::string& fleet)
    {
        port_ = qavtest::PrepareAgentPort();
        dir_ = new qavtest::TempDir;
        UseDataFolder(*dir_);
        qavtest::WriteFile(dir_->File("fleet"), fleet);
        sim_ = new qavtest::PrinterSim;
        started_ = sim_->Start({"--fleet", dir_->File("fleet"), "--port", std::to_string(port_)});
        std::string error;
        loaded_ = nconfig::LoadToolResources(resources_, error) == nconfig::ResourceFailure::kNone;
        if (!loaded_) std::fprintf(stderr, "%s\n", error.c_str());
    }
    static void TearDownTestSuite()
    {
        delete sim_;
        delete dir_;
        sim_ = nullptr;
        dir_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(started_) << sim_->Log();
        ASSERT_TRUE(loaded_);
    }

    static std::string At(int slot) { return qavtest::LoopbackAddress(slot); }
    static nconfig::LinkFactory Links()
    {
        return nconfig::SessionLinks(resources_.objects, resources_.readCommunity, resources_.writeCommunity);
    }
    static std::string SnmpGet(const std::string& address, int object) { return SnmpGetMaker(address, port_, object); }

    static inline int port_ = 0;
    static inline qavtest::TempDir* dir_ = nullptr;
    static inline qavtest::PrinterSim* sim_ = nullptr;
    static inline bool started_ = false;
    static inline bool loaded_ = false;
    static inline nconfig::ToolResources resources_;
};

} // namespace nconfigtest
