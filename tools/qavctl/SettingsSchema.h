// The product's settings files as qavctl config knows them: every file,
// section and key the programs read or write, with the type of its value.
// Section and key names compare without regard to case, as the profile
// engine reads them; file names compare exactly.
#pragma once

#include <string>
#include <string_view>

namespace qavctl {

enum class SettingType {
    kFlag,    // "1" or "0"
    kInteger, // decimal, an optional "-" first
    kText,    // anything on one line
    kAddress, // a dotted IPv4 address, or empty
    kAuth,    // SourceAuth: 0 to 4, or empty (the automatic choice)
    kDay,     // 1 to 31
    kTime,    // hour:minute:second
};

struct Setting {
    std::string section; // as the programs spell it ("Ranges.2")
    std::string key;     // as the programs spell it
    SettingType type = SettingType::kText;
};

// A key of a product file, or false with the reason naming the file, section
// or key that the product does not have ("[Polling] Pollng is not a key of
// QAVSurveyConfig.INI; its keys there: Polling, TaskDuration, ...").
// `file` is the bare file name; copies of the search settings may carry any
// name ending in ".qso".
bool LookUpSetting(std::string_view file, std::string_view section, std::string_view key, Setting& setting,
                   std::string& why);

// Whether a value fits the type; false with the reason otherwise.
bool CheckSettingValue(SettingType type, std::string_view value, std::string& why);

} // namespace qavctl
