// A small language table and object table of the tests' own, written into
// a temporary resource folder that QAV_RESOURCE_DIR then points at. Call
// UseTestTexts() before the first call into the library.
#pragma once

#include <cstdlib>
#include <string>

#include "TestPeers.h"

namespace devlisttest {

inline std::string StatusText(int id)
{
    switch (id) {
    case 3000: return "Online";
    case 3028: return "Printer error %d";
    case 3100: return "Other";
    case 3101: return "Unknown";
    case 3102: return "Idle";
    case 3103: return "Printing";
    case 3104: return "Warming up";
    case 3110: return "Jammed";
    case 3111: return "Door open";
    case 3112: return "Toner low";
    case 3113: return "Out of paper";
    case 3114: return "Paper low";
    case 3150: return "No answer";
    default: return "Status " + std::to_string(id);
    }
}

inline const std::string& UseTestTexts()
{
    static qavtest::TempDir dir;
    static const std::string folder = [] {
        std::string lang = "# test texts\n";
        for (int id = 3000; id <= 3047; ++id) lang += std::to_string(id) + " = " + StatusText(id) + "\n";
        for (int id : {3100, 3101, 3102, 3103, 3104, 3110, 3111, 3112, 3113, 3114, 3150}) {
            lang += std::to_string(id) + " = " + StatusText(id) + "\n";
        }
        lang += "3300 = 1.3.6.1.4.1.32473\n";
        qavtest::WriteFile(dir.File("QAVLANG.txt"), lang);
        qavtest::WriteFile(dir.File("QAVOIDER.txt"), "1361 1.3.6.1.2.1.1.2 OID\n201 1.3.6.1.2.1.1.5 String\n");
        ::setenv("QAV_RESOURCE_DIR", dir.Path().c_str(), 1);
        return dir.Path();
    }();
    return folder;
}

} // namespace devlisttest
