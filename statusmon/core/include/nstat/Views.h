// The device status page's views: which views a printer offers, what each
// one reads and how its rows are built, the size rule, and the printer
// picture chosen by model. Reading goes through a PrinterState-owning
// Printer (Printer.h); the builders here only turn values into rows.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qavres {
class StringTable;
}

namespace nstat {

enum class ViewKind {
    kCounters,
    kTenths,           // maker printers: counters in tenths
    kMakerInformation, // maker printers: firmware and options
    kInformation,      // other printers: printer languages
    kSizes,
    kSettings,         // maker printers: setting values
    kLevels1,          // other printers: supplies
    kLevels2,          // other printers: input trays
    kLevels3,          // other printers: output bins
};

struct ViewInfo {
    ViewKind kind;
    int makerIndex;   // place in a maker printer's selector, -1: not offered
    int otherIndex;   // place in another printer's selector, -1: not offered
    int selectorText; // the selector's caption
    int icon;         // 16x16 icon of the selector
};

// Every view, one row each.
const std::vector<ViewInfo>& AllViews();
// The views of one kind of printer, in selector order.
std::vector<ViewInfo> ViewsFor(bool maker);

// What one view shows: column titles and rows of cells. A view whose
// first column is a label and second a value has two cells a row.
struct ViewContent {
    int index = -1; // place in the selector
    ViewKind kind = ViewKind::kCounters;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

// Values by object number, as the reads leave them ("" when unanswered).
using ObjectValues = std::map<int, std::string>;

// The size rule: an empty value stays empty. With a multiplier above 0 the
// amount is value x multiplier in bytes, scaled down by 1024 while it
// exceeds 1024 (at most to level 4, GB); otherwise the value stays as it is
// at the level of `level`. The result is the level's format (1 bytes, 2 KB,
// 3 MB, 4 GB) filled with the amount (one decimal place when scaled); any
// other level leaves the value unformatted.
std::string SizeText(const std::string& value, const std::string& multiplier, const std::string& level,
                     const qavres::StringTable& texts);

// ------------------------------------------------------- objects by view

// Maker printers.
const std::vector<int>& CounterObjects();       // 21421, 25341, 21441, 21461, 21481
const std::vector<int>& TenthsObjects();        // 21061 ... 21401, 24961, 24981
const std::vector<int>& InformationObjects();   // 21 objects, read in two requests
const std::vector<int>& ProgramTableObjects();  // 25181, 25201, 25221, 25241 (M-RC models)
const std::vector<int>& MakerSizeObjects();     // 20421, 23321 ... 23541, 26281 ... 26341, 23526, 23546
const std::vector<int>& SettingObjects();       // 20001, 20701, ... 25081

// The row builders. `model` is the model text without the maker's prefix
// ("M-RC5K"); values hold what the view read.
ViewContent MakerCountersView(const ObjectValues& values, const std::string& model, const qavres::StringTable& texts);
ViewContent TenthsView(const ObjectValues& values, const qavres::StringTable& texts);
ViewContent MakerInformationView(const ObjectValues& values, const std::string& model,
                                 const qavres::StringTable& texts);
ViewContent MakerSizesView(const ObjectValues& values, const std::string& model, const qavres::StringTable& texts);
ViewContent SettingsView(const ObjectValues& values, const qavres::StringTable& texts);

// Other printers: the counter (objects 1161 and 1141), and the table walks.
ViewContent StandardCountersView(const std::string& lifeCount, const std::string& unit,
                                 const qavres::StringTable& texts);
ViewContent StandardInformationView(const std::vector<std::vector<std::string>>& rows,
                                    const qavres::StringTable& texts);
ViewContent StandardSizesView(const std::vector<std::vector<std::string>>& rows, const qavres::StringTable& texts);
// Level tables: the columns each table walks, and its rows.
struct LevelTable {
    ViewKind kind;
    std::vector<int> objects;    // the table's columns, the level column last
    std::vector<int> types;      // their types
    int levelTexts[3];           // empty, some left, anything else
    std::vector<int> titles;     // column titles
};
const LevelTable& LevelTableFor(ViewKind kind);
ViewContent LevelView(ViewKind kind, const std::vector<std::vector<std::string>>& rows,
                      const qavres::StringTable& texts);
// The word for a level: 0 the first text, above 0 or -3 the second,
// anything else the third.
int LevelWord(const std::string& level, const int (&levelTexts)[3]);

// ------------------------------------------------------------- pictures

// The maker's prefix of every model text.
inline constexpr const char* kMakerPrefix = "VORANTA QAV ";
// The model text without the maker's prefix (as it stands when it lacks it).
std::string ShortModel(const std::string& modelText);

// Whether the picture of this model depends on the model name (object
// 20101), which the information objects carry.
bool PictureNeedsInformation(const std::string& modelText);

// The picture number for a maker printer (0: no picture), from the model
// text (object 161), objects 20061, 20041 and 20101, and language text 8000.
int MakerPicture(const std::string& modelText, const ObjectValues& values, const std::string& language);
inline constexpr int kStandardPicture = 170;
// Every picture number the artwork offers.
const std::vector<int>& AllPictures();

} // namespace nstat
