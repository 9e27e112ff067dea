#include "nstat/Views.h"

#include <cstdlib>

#include "nstat/Format.h"
#include "qavres/Resources.h"

namespace nstat {

namespace {

// Texts of the views.
constexpr int kColumnCounter = 5110;
constexpr int kColumnItem = 5192;
constexpr int kCountsFormat = 5135;   // "%s items": counts of the M-RC models
constexpr int kDistanceFormat = 5122; // "%s km": the other models' tenths
constexpr int kMillimetreFormat = 5240;
constexpr int kWorkAreaLabel = 6108;

// One labelled object of a view.
struct LabelledObject {
    int object;
    int label;
};

// Counters view of the maker's printers.
const LabelledObject kMakerCounters[] = {
    {21421, 5112}, // total print distance
    {25341, 5136}, // print distance since the last reset
    {21441, 5113}, // head print distance
    {21461, 5114}, // total feed distance
    {21481, 5115}, // platen roller distance
};

// Counters in tenths: the first ten labels follow 5180, the other ten 5160.
const LabelledObject kTenthsCounters[] = {
    {21061, 5180}, {21081, 5181}, {21101, 5182}, {21121, 5183}, {21141, 5184},
    {21161, 5185}, {21181, 5186}, {21201, 5187}, {21221, 5188}, {21241, 5189},
    {21261, 5160}, {21281, 5161}, {21301, 5162}, {21321, 5163}, {21341, 5164},
    {21361, 5165}, {21381, 5166}, {21401, 5167}, {24961, 5168}, {24981, 5169},
};

// Setting values; the two adjustments are tenths of a millimetre.
struct SettingRow {
    int object;
    int label;
    bool millimetreTenths;
};
const SettingRow kSettings[] = {
    {20001, 5231, false}, // print method
    {20701, 5232, false}, // print speed
    {20721, 5233, false}, // print darkness
    {20681, 5234, false}, // sensor type
    {20641, 5236, false}, // label pitch
    {20661, 5237, false}, // label width
    {20741, 5235, false}, // vertical offset
    {20761, 5238, false}, // horizontal offset
    {25061, 5239, true},  // stop position adjustment
    {25081, 5241, true},  // backfeed adjustment
};

// Information rows of the maker's printers: label, value format (0: the
// key value itself), the format's arguments, and the key object.
struct InformationRow {
    int label;
    int format;
    std::vector<int> arguments;
    int key;
};
const std::vector<InformationRow>& InformationRows()
{
    static const std::vector<InformationRow> rows = {
        {5193, 0, {20101}, 20101},                  // model name
        {5194, 5195, {20141, 20121, 20161}, 20121}, // main program
        {5196, 5197, {20201, 20181, 20221}, 20181}, // boot program
        {5198, 5199, {20241, 20261}, 20241},        // character generator
        {5200, 5201, {20281, 20301, 20321}, 20301}, // kanji font 1
        {5202, 5203, {20341, 20361, 20381}, 20361}, // kanji font 2
        {5221, 5222, {26561, 26581, 26601}, 26581}, // web content
        {5280, 5281, {23861, 23841}, 23841},        // network program
        {5204, 5205, {20081}, 20081},               // flash memory
    };
    return rows;
}
constexpr int kModelNameRow = 0;
constexpr int kFlashRow = 8;

// Memory sizes of the maker's printers; the first (total memory) is in MB,
// the others in KB. Labels: 5210 to 5216, then 5140 onward.
const LabelledObject kMakerSizes[] = {
    {20421, 5210}, {23321, 5211}, {23341, 5212}, {23361, 5213}, {23381, 5214}, {23401, 5215}, {23421, 5216},
    {23441, 5140}, {23461, 5141}, {23481, 5142}, {23501, 5143}, {23521, 5144}, {23541, 5145},
    {26281, 5146}, {26301, 5147}, {26321, 5148}, {26341, 5149}, {23526, 5150}, {23546, 5151},
};
// The values the M-RA1 does not have: graphics and logo areas, image
// buffer and total memory.
const int kSizesClearedOnRa1[] = {20421, 23321, 23341, 23441, 23461, 23521, 23541};

// The unit words of the marker counter unit (object 1141).
struct UnitRow {
    int unit;
    int text;
};
const UnitRow kCounterUnits[] = {
    {0, 5122}, {3, 5123}, {4, 5124}, {5, 5125}, {6, 5126}, {7, 5127},
    {8, 5128}, {9, 5129}, {11, 5130}, {16, 5131}, {17, 5132}, {18, 5135},
};

const LevelTable kLevelTables[] = {
    {ViewKind::kLevels1, {1001, 981, 941}, {4, 2, 2}, {5250, 5251, 5252}, {5101, 5102, 5103}},
    {ViewKind::kLevels2, {1101, 1061}, {4, 2}, {5255, 5256, 5257}, {5104, 5105}},
    {ViewKind::kLevels3, {1181, 1221}, {4, 2}, {5260, 5261, 5262}, {5106, 5107}},
};

// A model picture: the model text without prefix and the picture, or a
// rule that needs more than the model text.
enum class PictureRule { kFixed, kCabinet, kDestination, kRa1, kMc111, kMd111 };
struct PictureRow {
    const char* model;
    PictureRule rule;
    int picture;
};
const PictureRow kPictures[] = {
    {"M-UG2W", PictureRule::kCabinet, 0},
    {"M-UG2W-XY", PictureRule::kFixed, 169},
    {"M-UH7W", PictureRule::kFixed, 210},
    {"M-UH9W", PictureRule::kFixed, 210},
    {"M-707", PictureRule::kFixed, 211},
    {"M-UH3W", PictureRule::kDestination, 0},
    {"M-UH5W", PictureRule::kDestination, 0},
    {"M-313-Y", PictureRule::kFixed, 214},
    {"M-325-Y", PictureRule::kFixed, 214},
    {"M-PN1", PictureRule::kFixed, 215},
    {"M-UH9Y", PictureRule::kFixed, 216},
    {"M-PQ3W", PictureRule::kFixed, 217},
    {"M-PQ3K", PictureRule::kFixed, 217},
    {"M-PQ7W", PictureRule::kFixed, 218},
    {"M-RA1", PictureRule::kRa1, 0},
    {"M-RC5K", PictureRule::kFixed, 225},
    {"M-RC6K", PictureRule::kFixed, 238},
    {"M-RB1", PictureRule::kFixed, 220},
    {"MC111W", PictureRule::kMc111, 0},
    {"MD111", PictureRule::kMd111, 0},
};

const std::string& ValueOf(const ObjectValues& values, int object)
{
    static const std::string empty;
    auto it = values.find(object);
    return it == values.end() ? empty : it->second;
}

// The object numbers of a table's rows, in order.
template <class Row, size_t N>
std::vector<int> ObjectsOf(const Row (&rows)[N])
{
    std::vector<int> objects;
    for (const Row& r : rows) objects.push_back(r.object);
    return objects;
}

bool IsCardModel(const std::string& model) { return model == "M-RC5K" || model == "M-RC6K"; }

// The unit word of a unit text: "%s km" gives "km".
std::string UnitWord(const std::string& text)
{
    return StartsWith(text, "%s ") ? text.substr(3) : text;
}

ViewContent TwoColumns(ViewKind kind, int first, int second, const qavres::StringTable& texts)
{
    ViewContent v;
    v.kind = kind;
    v.columns = {first ? texts.Get(first) : std::string(), second ? texts.Get(second) : std::string()};
    return v;
}

const PictureRow* PictureRowFor(const std::string& modelText)
{
    if (!StartsWith(modelText, kMakerPrefix)) return nullptr;
    const std::string model = modelText.substr(std::string(kMakerPrefix).size());
    for (const PictureRow& row : kPictures) {
        if (model == row.model) return &row;
    }
    return nullptr;
}

} // namespace

const std::vector<ViewInfo>& AllViews()
{
    static const std::vector<ViewInfo> views = {
        {ViewKind::kCounters, 0, 3, 5074, 163},
        {ViewKind::kTenths, 1, -1, 5077, 164},
        {ViewKind::kMakerInformation, 2, -1, 5078, 165},
        {ViewKind::kInformation, -1, 4, 5075, 165},
        {ViewKind::kSizes, 3, 5, 5076, 166},
        {ViewKind::kSettings, 4, -1, 5079, 167},
        {ViewKind::kLevels1, -1, 0, 5071, 160},
        {ViewKind::kLevels2, -1, 1, 5072, 161},
        {ViewKind::kLevels3, -1, 2, 5073, 162},
    };
    return views;
}

std::vector<ViewInfo> ViewsFor(bool maker)
{
    std::vector<ViewInfo> out;
    for (int index = 0;; ++index) {
        bool found = false;
        for (const ViewInfo& v : AllViews()) {
            if ((maker ? v.makerIndex : v.otherIndex) == index) {
                out.push_back(v);
                found = true;
            }
        }
        if (!found) break;
    }
    return out;
}

std::string SizeText(const std::string& value, const std::string& multiplier, const std::string& level,
                     const qavres::StringTable& texts)
{
    if (value.empty()) return value;
    const int factor = LeadingInt(multiplier, 0);
    std::string rendered = value;
    int at = LeadingInt(level, 0);
    if (factor > 0) {
        double amount = std::strtod(value.c_str(), nullptr) * factor;
        at = 1;
        while (amount > 1024 && at < 4) {
            amount /= 1024;
            ++at;
        }
        rendered = OneDecimal(amount);
    }
    if (at < 1 || at > 4) return rendered;
    return FormatText(texts.Get(5216 + at), {rendered}); // 5217 bytes ... 5220 GB
}

const std::vector<int>& CounterObjects()
{
    static const std::vector<int> v = ObjectsOf(kMakerCounters);
    return v;
}

const std::vector<int>& TenthsObjects()
{
    static const std::vector<int> v = ObjectsOf(kTenthsCounters);
    return v;
}

const std::vector<int>& InformationObjects()
{
    static const std::vector<int> v = [] {
        std::vector<int> o;
        for (int n = 20101; n <= 20381; n += 20) o.push_back(n);
        for (int n : {26561, 26581, 26601, 20081, 23841, 23861}) o.push_back(n);
        return o;
    }();
    return v;
}

const std::vector<int>& ProgramTableObjects()
{
    static const std::vector<int> v = {25181, 25201, 25221, 25241};
    return v;
}

const std::vector<int>& MakerSizeObjects()
{
    static const std::vector<int> v = ObjectsOf(kMakerSizes);
    return v;
}

const std::vector<int>& SettingObjects()
{
    static const std::vector<int> v = ObjectsOf(kSettings);
    return v;
}

ViewContent MakerCountersView(const ObjectValues& values, const std::string& model, const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kCounters, kColumnCounter, 0, texts);
    for (const LabelledObject& c : kMakerCounters) {
        const std::string& value = ValueOf(values, c.object);
        if (value.empty()) continue;
        const std::string shown = IsCardModel(model) ? FormatText(texts.Get(kCountsFormat), {value})
                                                     : FormatText(texts.Get(kDistanceFormat), {Tenths(value)});
        v.rows.push_back({texts.Get(c.label), shown});
    }
    return v;
}

ViewContent TenthsView(const ObjectValues& values, const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kTenths, kColumnCounter, 0, texts);
    for (const LabelledObject& c : kTenthsCounters) {
        const std::string& value = ValueOf(values, c.object);
        if (!value.empty()) v.rows.push_back({texts.Get(c.label), Tenths(value)});
    }
    return v;
}

ViewContent MakerInformationView(const ObjectValues& values, const std::string& model,
                                 const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kMakerInformation, kColumnItem, 0, texts);
    auto add = [&](const InformationRow& row) {
        if (ValueOf(values, row.key).empty()) return;
        std::vector<std::string> args;
        for (int object : row.arguments) args.push_back(ValueOf(values, object));
        const std::string text = row.format ? FormatText(texts.Get(row.format), args) : args.front();
        if (!text.empty()) v.rows.push_back({texts.Get(row.label), text});
    };
    const auto& rows = InformationRows();
    if (!IsCardModel(model)) {
        for (const InformationRow& row : rows) add(row);
        return v;
    }
    // The card printers name their programs in a table of their own.
    add(rows[kModelNameRow]);
    const std::string& program = ValueOf(values, 25181);
    if (!program.empty()) {
        v.rows.push_back({program, FormatText("%s,%s,%s", {ValueOf(values, 25201), ValueOf(values, 25221),
                                                           ValueOf(values, 25241)})});
    }
    add(rows[kFlashRow]);
    return v;
}

ViewContent MakerSizesView(const ObjectValues& values, const std::string& model, const qavres::StringTable& texts)
{
    ViewContent v;
    v.kind = ViewKind::kSizes;
    v.columns = {texts.Get(5206), texts.Get(5207), texts.Get(5209)};
    ObjectValues shown = values;
    if (model == "M-RA1") {
        for (int object : kSizesClearedOnRa1) shown[object].clear();
    }
    int row = 0;
    for (const LabelledObject& s : kMakerSizes) {
        const int label = IsCardModel(model) && row == 3 ? kWorkAreaLabel : s.label;
        const std::string& value = ValueOf(shown, s.object);
        const std::string level = row == 0 ? "3" : "2"; // total memory in MB, the rest in KB
        ++row;
        if (value.empty()) continue;
        v.rows.push_back({texts.Get(label), SizeText(value, "", level, texts), value});
    }
    return v;
}

ViewContent SettingsView(const ObjectValues& values, const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kSettings, kColumnItem, 0, texts);
    for (const SettingRow& s : kSettings) {
        const std::string& value = ValueOf(values, s.object);
        if (value.empty()) continue;
        const std::string shown =
            s.millimetreTenths ? FormatText(texts.Get(kMillimetreFormat), {Tenths(value)}) : value;
        v.rows.push_back({texts.Get(s.label), shown});
    }
    return v;
}

ViewContent StandardCountersView(const std::string& lifeCount, const std::string& unit,
                                 const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kCounters, kColumnCounter, 0, texts);
    std::string word;
    if (!unit.empty()) {
        const int n = LeadingInt(unit, -1);
        for (const UnitRow& u : kCounterUnits) {
            if (u.unit == n) word = UnitWord(texts.Get(u.text));
        }
    }
    v.rows.push_back({texts.Get(5111), word.empty() ? lifeCount : lifeCount + " " + word});
    return v;
}

ViewContent StandardInformationView(const std::vector<std::vector<std::string>>& rows,
                                    const qavres::StringTable& texts)
{
    ViewContent v = TwoColumns(ViewKind::kInformation, 5190, 5191, texts);
    for (const auto& row : rows) v.rows.push_back({row.size() > 0 ? row[0] : "", row.size() > 1 ? row[1] : ""});
    return v;
}

ViewContent StandardSizesView(const std::vector<std::vector<std::string>>& rows, const qavres::StringTable& texts)
{
    ViewContent v;
    v.kind = ViewKind::kSizes;
    v.columns = {texts.Get(5206), texts.Get(5207), texts.Get(5208)};
    for (const auto& row : rows) {
        if (row.size() < 4) continue;
        // name, allocation unit, size, used (in units)
        v.rows.push_back({row[0], SizeText(row[2], row[1], "", texts), SizeText(row[3], row[1], "", texts)});
    }
    return v;
}

const LevelTable& LevelTableFor(ViewKind kind)
{
    for (const LevelTable& t : kLevelTables) {
        if (t.kind == kind) return t;
    }
    return kLevelTables[0];
}

int LevelWord(const std::string& level, const int (&levelTexts)[3])
{
    const int n = LeadingInt(level, -1);
    if (level.empty()) return levelTexts[2];
    if (n == 0) return levelTexts[0];
    if (n > 0 || n == -3) return levelTexts[1];
    return levelTexts[2];
}

ViewContent LevelView(ViewKind kind, const std::vector<std::vector<std::string>>& rows,
                      const qavres::StringTable& texts)
{
    const LevelTable& table = LevelTableFor(kind);
    ViewContent v;
    v.kind = kind;
    for (int title : table.titles) v.columns.push_back(texts.Get(title));
    for (const auto& row : rows) {
        std::vector<std::string> cells(row.begin(), row.end());
        cells.resize(table.objects.size());
        cells.back() = texts.Get(LevelWord(cells.back(), table.levelTexts));
        v.rows.push_back(std::move(cells));
    }
    return v;
}

std::string ShortModel(const std::string& modelText)
{
    return StartsWith(modelText, kMakerPrefix) ? modelText.substr(std::string(kMakerPrefix).size()) : modelText;
}

bool PictureNeedsInformation(const std::string& modelText)
{
    const PictureRow* row = PictureRowFor(modelText);
    return row && (row->rule == PictureRule::kRa1 || row->rule == PictureRule::kMd111);
}

int MakerPicture(const std::string& modelText, const ObjectValues& values, const std::string& language)
{
    const PictureRow* row = PictureRowFor(modelText);
    if (!row) return 0;
    const std::string& cabinet = ValueOf(values, 20061);
    const std::string& modelName = ValueOf(values, 20101);
    switch (row->rule) {
    case PictureRule::kFixed: return row->picture;
    case PictureRule::kCabinet:
        if (StartsWithNoCase(cabinet, "Plastic")) return 168;
        if (StartsWithNoCase(cabinet, "Metal")) return 169;
        return 0;
    case PictureRule::kDestination: return ValueOf(values, 20041) == "JA" ? 213 : 212;
    case PictureRule::kRa1: return modelName == "M-RA1K-P" || modelName == "M-RA1K-W" ? 221 : 224;
    case PictureRule::kMc111:
        if (StartsWithNoCase(cabinet, "PLASTIC")) return StartsWithNoCase(language, "English") ? 230 : 228;
        if (StartsWithNoCase(cabinet, "METAL")) return 229;
        return 0;
    case PictureRule::kMd111: return StartsWith(modelName, "MD131") ? 240 : 239;
    }
    return 0;
}

const std::vector<int>& AllPictures()
{
    static const std::vector<int> v = {168, 169, 170, 210, 211, 212, 213, 214, 215, 216, 217,
                                       218, 220, 221, 224, 225, 228, 229, 230, 238, 239, 240};
    return v;
}

} // namespace nstat
