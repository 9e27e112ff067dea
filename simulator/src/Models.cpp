#include "Models.h"

#include <vector>

namespace qavsim {

namespace {

// The model families: cabinet type (object 20061) and whether the printer
// counts cards instead of distances.
struct ModelRow {
    const char* model;
    const char* cabinet;
    bool cards;
};
const ModelRow kModels[] = {
    {"M-UG2W", "Plastic", false},  {"M-UG2W-XY", "Metal", false}, {"M-UH3W", "Metal", false},
    {"M-UH5W", "Metal", false},    {"M-UH7W", "Metal", false},    {"M-UH9W", "Metal", false},
    {"M-707", "Metal", false},     {"M-PN1", "Plastic", false},   {"M-RA1", "Metal", false},
    {"M-RB1", "Plastic", false},   {"M-RC5K", "Plastic", true},   {"M-RC6K", "Plastic", true},
    {"MC111W", "Plastic", false},  {"MD111", "Plastic", false},
};

const ModelRow* Find(const std::string& shortModel)
{
    for (const ModelRow& m : kModels) {
        if (shortModel == m.model) return &m;
    }
    return nullptr;
}

// The printers of the models fleet: model and the keys that set it apart.
struct FleetRow {
    const char* model;
    const char* name;
    const char* extra;
};
const FleetRow kModelsFleet[] = {
    {"M-UH3W", "Carton labeller", ""},
    {"M-UH5W", "Shipping labeller JA", "object.20041 = JA\n"},
    {"M-UH5W", "Shipping labeller", "object.20041 = US\n"},
    {"M-UG2W", "Shelf labeller", "object.20061 = Plastic\n"},
    {"M-UG2W", "Rack labeller", "object.20061 = Metal\n"},
    {"M-RA1", "RFID tagger", "object.20101 = M-RA1K-P\n"},
    {"M-RC5K", "Card printer", ""},
    {"M-RC6K", "Card printer 2", ""},
    {"M-PN1", "Mobile printer", ""},
    {"MC111W", "Desk labeller", "object.20061 = PLASTIC\n"},
    {"MD111", "Lab printer", "object.20101 = MD131-A\n"},
};

} // namespace

std::string ShortModel(const std::string& model)
{
    return model.rfind("QAV ", 0) == 0 ? model.substr(4) : model;
}

std::string ModelText(const std::string& model) { return "VORANTA QAV " + ShortModel(model); }

std::map<int, std::string> ModelObjects(const PrinterEntry& entry)
{
    std::map<int, std::string> o;
    const uint32_t a = entry.address;
    // The network interface: board, Ethernet, MAC address, and the
    // address table's entry of the printer's own address with its mask.
    o[401] = entry.maker ? "QAV NetBoard" : "Network interface";
    o[421] = "6";
    o[441] = std::string("\x00\x80\x91", 3) + static_cast<char>((a >> 16) & 0xFF) + static_cast<char>((a >> 8) & 0xFF) +
             static_cast<char>(a & 0xFF);
    o[661] = AddressText(a);
    o[681] = "255.255.255.0";
    if (!entry.maker) return o;

    const std::string model = ShortModel(entry.model);
    const ModelRow* row = Find(model);
    const bool cards = row && row->cards;
    const unsigned long labels = entry.labelCount;
    // Identity and firmware (information view).
    o[20101] = model;
    o[20041] = "US";
    o[20061] = row ? row->cabinet : "Plastic";
    o[20081] = "8192";
    o[20121] = entry.firmware;
    o[20141] = "PN-" + model;
    o[20161] = "2024-05-14";
    o[20181] = "B1.10";
    o[20201] = "0020";
    o[20221] = "2023-11-02";
    o[20241] = "CG2.01";
    o[20261] = "2023-09-20";
    o[23841] = "N3.4.1";
    o[23861] = "QAV NetBoard";
    o[26561] = "WEB-" + model;
    o[26581] = "W1.3";
    o[26601] = "2024-02-29";
    if (cards) {
        o[25181] = "MAIN";
        o[25201] = "2.10";
        o[25221] = "2024-03-01";
        o[25241] = "9F3A";
    }
    // Life counters, in tenths of a kilometre (printed cards on the card
    // printers).
    o[21421] = std::to_string(cards ? labels : labels / 40 + 1234);
    o[25341] = std::to_string(cards ? labels / 10 : labels / 400 + 87);
    o[21441] = std::to_string(labels / 50 + 1012);
    o[21461] = std::to_string(labels / 35 + 1388);
    o[21481] = std::to_string(labels / 45 + 1190);
    // Maintenance counters in tenths.
    const int tenths[] = {21061, 21081, 21101, 21121, 21141, 21161, 21181, 21201, 21221, 21241,
                          21261, 21281, 21301, 21321, 21341, 21361, 21381, 21401, 24961, 24981};
    int n = 0;
    for (int object : tenths) o[object] = std::to_string(55 + 37 * n++);
    o[21341] = "412"; // 41.2 C
    o[21361] = "587";
    o[21381] = "6480";
    o[21401] = "241"; // 24.1 V
    // Memory sizes: total in MB, the rest in KB.
    o[20421] = "64";
    const int sizes[] = {23321, 23341, 23361, 23381, 23401, 23421, 23441, 23461, 23481,
                         23501, 23521, 23541, 26281, 26301, 26321, 26341, 23526, 23546};
    const int values[] = {4096, 3072, 512, 448, 2048, 1536, 256, 192, 1024, 1000, 2048, 2048,
                          32768, 30720, 0, 0, 16384, 12288};
    for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) o[sizes[i]] = std::to_string(values[i]);
    // Setting values: print method and sensor; the rest are system
    // parameters, which keep their own values and ranges.
    o[20001] = "Thermal transfer";
    o[20681] = "Gap";
    return o;
}

std::string ModelsFleetText(const std::string& first)
{
    std::string text = "# One printer of each model the status monitor knows by name.\n";
    uint32_t address = 0;
    ParseAddress(first, address);
    for (const FleetRow& f : kModelsFleet) {
        text += "[printer]\naddress = " + AddressText(address) + "\nmodel = QAV " + f.model + "\nname = " + f.name +
                "\nlocation = Hall " + std::to_string(address & 0xFF) + "\nmanager = M. Kowalski\n" + f.extra;
        ++address;
    }
    return text;
}

} // namespace qavsim
