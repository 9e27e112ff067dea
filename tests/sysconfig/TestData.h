// The tool's own resource data, as it ships: the language library with the
// page definitions and the object table.
#pragma once

#include <gtest/gtest.h>

#include "nconfig/Pages.h"
#include "qavres/Resources.h"

namespace nconfigtest {

inline constexpr int kUg2Base = 20000;  // M-UG2
inline constexpr int kMc1200Base = 30000; // MC-1200

struct ShippedData {
    qavres::StringTable language;
    qavres::ObjectTable objects;
    bool loaded = false;
    ShippedData()
    {
        std::string error;
        loaded = language.LoadFile(QAV_SOURCE_DIR "/resources/data/NCreseng.txt", &error) &&
                 objects.LoadFile(QAV_SOURCE_DIR "/resources/data/QAVOIDER.txt", &error);
        EXPECT_TRUE(loaded) << error;
    }
};

inline const ShippedData& Data()
{
    static const ShippedData data;
    return data;
}

// The parameter of a page by its key ("20701.0").
inline const nconfig::Parameter& ParameterByKey(const nconfig::Page& page, const std::string& key)
{
    for (const nconfig::Parameter& p : page.parameters) {
        if (p.key == key) return p;
    }
    ADD_FAILURE() << "no parameter " << key << " on page " << page.title;
    static nconfig::Parameter none;
    return none;
}

inline int IndexByKey(const nconfig::Page& page, const std::string& key)
{
    for (size_t i = 0; i < page.parameters.size(); ++i) {
        if (page.parameters[i].key == key) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no parameter " << key << " on page " << page.title;
    return -1;
}

} // namespace nconfigtest
