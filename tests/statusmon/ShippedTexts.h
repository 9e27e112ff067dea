// The language texts the status monitor ships, loaded once for a test
// binary, and the printer address the logic tests use.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "qavres/Resources.h"

namespace nstattest {

inline const qavres::StringTable& ShippedTexts()
{
    static const qavres::StringTable texts = [] {
        qavres::StringTable table;
        std::string error;
        EXPECT_TRUE(table.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVLANG.txt", &error)) << error;
        return table;
    }();
    return texts;
}

inline constexpr uint32_t kTestAddress = (10u << 24) | (1u << 16) | (2u << 8) | 3u; // 10.1.2.3

} // namespace nstattest
