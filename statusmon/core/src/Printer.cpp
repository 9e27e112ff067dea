#include "nstat/Printer.h"

#include <algorithm>

#include "nstat/Format.h"
#include "qavplatform/Address.h"
#include "qavres/Resources.h"

namespace nstat {

namespace {

constexpr int kString = 4, kInteger = 2, kOid = 6, kCounter = 65;
constexpr int kNoNameTitle = 5000;
constexpr int kLanguageName = 8000;
constexpr size_t kPanelLineBytes = 32;

// The basic objects, with who reads them.
struct BasicObject {
    int object;
    int type;
    bool other; // read for printers of other makers
    bool maker; // read for the maker's printers
};
const BasicObject kBasicObjects[] = {
    {obj::kSysObjectId, kOid, true, true},  // maker check
    {obj::kContact, kString, true, true},    // kept
    {obj::kName, kString, true, true},       // printer name, window title
    {obj::kModelText, kString, true, true},  // model text
    {obj::kDeviceDescr, kString, true, true}, // handed to the system setting tool
    {obj::kLocation, kString, true, true},   // location
    {obj::kPrinterStatus, kInteger, true, false},
    {obj::kErrorState, kString, true, false},
    {1301, kString, true, false},             // panel light, kept
    {obj::kComment, kString, false, true},
    {obj::kManager, kString, false, true},
    {obj::kSerial, kString, false, true},     // serial number
    {obj::kCabinet, kString, false, true},    // picture choice
    {obj::kMac, kString, true, true},         // MAC address
    {obj::kDhcp, kInteger, false, true},      // restart wait of the remote keys
    {obj::kDestination, kString, false, true}, // picture choice
};

std::vector<std::pair<int, int>> WithType(const std::vector<int>& objects, int type)
{
    std::vector<std::pair<int, int>> out;
    for (int o : objects) out.emplace_back(o, type);
    return out;
}

} // namespace

const std::string& PrinterState::Value(int object) const
{
    static const std::string empty;
    auto it = values.find(object);
    return it == values.end() ? empty : it->second;
}

std::vector<std::pair<int, int>> BasicObjects(bool maker)
{
    std::vector<std::pair<int, int>> out;
    for (const BasicObject& b : kBasicObjects) {
        if (maker ? b.maker : b.other) out.emplace_back(b.object, b.type);
    }
    return out;
}

Printer::Printer(PrinterLink& link, const qavres::StringTable& texts, uint32_t address) : link_(link), texts_(texts)
{
    state_.address = address;
}

void Printer::Note(const Outcome& out)
{
    if (out.connection == qavobj::Connection::kUp) state_.connected = true;
    if (out.connection == qavobj::Connection::kDown) state_.connected = false;
    state_.communityFailed = out.setCommunityFailed;
}

bool Printer::Read(const std::vector<std::pair<int, int>>& objectsAndTypes)
{
    bool ok = true;
    for (size_t from = 0; from < objectsAndTypes.size(); from += qavobj::kMaxObjects) {
        const size_t to = std::min(objectsAndTypes.size(), from + qavobj::kMaxObjects);
        std::vector<ObjectRequest> requests;
        for (size_t i = from; i < to; ++i) requests.emplace_back(objectsAndTypes[i].second, objectsAndTypes[i].first);
        const Outcome out = link_.Read(requests);
        Note(out);
        for (const ObjectRequest& r : requests) state_.values[r.object] = out.ok() ? r.value : std::string();
        ok = ok && out.ok();
    }
    return ok;
}

bool Printer::Read(const std::vector<int>& objects, const std::vector<int>& types)
{
    std::vector<std::pair<int, int>> pairs;
    for (size_t i = 0; i < objects.size(); ++i) pairs.emplace_back(objects[i], i < types.size() ? types[i] : kString);
    return Read(pairs);
}

bool Printer::ReadTable(const std::vector<std::pair<int, int>>& columns, TableRows& rows)
{
    std::vector<ObjectRequest> requests;
    for (const auto& [object, type] : columns) requests.emplace_back(type, object);
    const Outcome out = link_.ReadTable(requests, rows);
    Note(out);
    if (!out.ok()) rows.clear();
    return out.ok();
}

bool Printer::ReadMakerFlag()
{
    std::vector<ObjectRequest> r = {{kOid, obj::kSysObjectId}};
    const Outcome out = link_.Read(r);
    Note(out);
    if (!out.ok()) return false;
    state_.values[obj::kSysObjectId] = r[0].value;
    state_.maker = StartsWith(r[0].value, texts_.Get(kMakerOidText));
    return true;
}

bool Printer::ReadBasicObjects() { return Read(BasicObjects(state_.maker)); }

std::string Printer::WindowTitle() const
{
    std::string title = state_.Value(obj::kName).empty() ? texts_.Get(kNoNameTitle) : state_.Value(obj::kName);
    if (!state_.ModelText().empty()) title += " ( " + state_.ModelText() + " )";
    return title;
}

void Printer::RecheckMaker()
{
    if (ReadMakerFlag()) return;
    state_.values[obj::kName].clear();
    state_.values[obj::kModelText].clear();
}

StatusResult Printer::ReadStatus(std::string* panel)
{
    if (state_.maker) {
        std::vector<std::pair<int, int>> objects = {{obj::kStatusCode, kInteger}, {obj::kPanelText, kString}};
        if (state_.ModelText() != std::string(kMakerPrefix) + "M-RA1") objects.emplace_back(obj::kHeadFlag, kInteger);
        else state_.values[obj::kHeadFlag].clear();
        Read(objects);
        if (panel) *panel = state_.Value(obj::kPanelText);
        return DecodeMakerStatus(state_.Value(obj::kStatusCode), state_.Value(obj::kHeadFlag), texts_);
    }
    TableRows lines;
    ReadTable({{obj::kPanelLines, kString}}, lines);
    if (panel) {
        panel->clear();
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) *panel += "\r\n";
            *panel += lines[i].empty() ? std::string() : lines[i][0].substr(0, kPanelLineBytes);
        }
    }
    return DecodeStandardStatus(state_.Value(obj::kPrinterStatus), state_.Value(obj::kErrorState), texts_);
}

DevicePage Printer::ReadDevicePage(int viewIndex)
{
    DevicePage page;
    ReadBasicObjects();
    page.status = ReadStatus(&page.panel);
    Identity& id = page.identity;
    id.name = state_.Value(obj::kName);
    id.model = state_.ModelText();
    id.location = state_.Value(obj::kLocation);
    id.port = qavplatform::AddressText(state_.address);
    id.status = page.status.text;
    id.serial = state_.maker ? state_.Value(obj::kSerial) : std::string();
    id.mac = MacText(state_.Value(obj::kMac));
    if (!state_.maker) {
        page.picture = kStandardPicture;
    } else {
        if (PictureNeedsInformation(state_.ModelText())) Read(WithType(InformationObjects(), kString));
        page.picture = MakerPicture(state_.ModelText(), state_.values, texts_.Get(kLanguageName));
    }
    if (!state_.connected) {
        page.picture = 0;
        page.panel.clear();
    }
    page.views = ViewsFor(state_.maker);
    page.view = ReadView(viewIndex);
    return page;
}

ViewContent Printer::ReadView(int viewIndex)
{
    const std::vector<ViewInfo> views = ViewsFor(state_.maker);
    ViewContent v;
    if (viewIndex < 0 || viewIndex >= static_cast<int>(views.size())) return v;
    const ViewKind kind = views[viewIndex].kind;
    const std::string model = ShortModel(state_.ModelText());
    TableRows rows;
    switch (kind) {
    case ViewKind::kCounters:
        if (state_.maker) {
            Read(WithType(CounterObjects(), kInteger));
            v = MakerCountersView(state_.values, model, texts_);
        } else {
            Read({{obj::kLifeCount, kCounter}, {obj::kMarkerUnit, kInteger}});
            v = StandardCountersView(state_.Value(obj::kLifeCount), state_.Value(obj::kMarkerUnit), texts_);
        }
        break;
    case ViewKind::kTenths:
        Read(WithType(TenthsObjects(), kInteger));
        v = TenthsView(state_.values, texts_);
        break;
    case ViewKind::kMakerInformation: {
        auto objects = WithType(InformationObjects(), kString);
        for (auto& [object, type] : objects) {
            if (object == 20081) type = kInteger; // flash memory size
        }
        if (model == "M-RC5K" || model == "M-RC6K") {
            for (int o : ProgramTableObjects()) objects.emplace_back(o, kString);
        }
        Read(objects);
        v = MakerInformationView(state_.values, model, texts_);
        break;
    }
    case ViewKind::kInformation:
        ReadTable({{1241, kString}, {1261, kString}}, rows);
        v = StandardInformationView(rows, texts_);
        break;
    case ViewKind::kSizes:
        if (state_.maker) {
            Read(WithType(MakerSizeObjects(), kInteger));
            v = MakerSizesView(state_.values, model, texts_);
        } else {
            ReadTable({{1461, kString}, {1481, kInteger}, {1501, kInteger}, {1521, kInteger}, {1541, kCounter}}, rows);
            v = StandardSizesView(rows, texts_);
        }
        break;
    case ViewKind::kSettings: {
        auto objects = WithType(SettingObjects(), kInteger);
        for (auto& [object, type] : objects) {
            if (object == 20001 || object == 20681) type = kString; // print method, sensor type
        }
        Read(objects);
        v = SettingsView(state_.values, texts_);
        break;
    }
    case ViewKind::kLevels1:
    case ViewKind::kLevels2:
    case ViewKind::kLevels3: {
        const LevelTable& table = LevelTableFor(kind);
        std::vector<std::pair<int, int>> columns;
        for (size_t i = 0; i < table.objects.size(); ++i) columns.emplace_back(table.objects[i], table.types[i]);
        ReadTable(columns, rows);
        v = LevelView(kind, rows, texts_);
        break;
    }
    }
    v.index = viewIndex;
    return v;
}

bool Printer::WriteInteger(int object, int value)
{
    const Outcome out = link_.WriteInteger(object, value);
    Note(out);
    return out.ok();
}

bool Printer::WriteString(int object, const std::string& value)
{
    const Outcome out = link_.WriteString(object, value);
    Note(out);
    return out.ok();
}

} // namespace nstat
