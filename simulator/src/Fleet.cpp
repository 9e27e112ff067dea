#include "Fleet.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "qavplatform/Text.h"

namespace qavsim {

bool IsLoopback(uint32_t a) { return (a >> 24) == 127; }

namespace {

std::string Trim(const std::string& s) { return qavplatform::Trim(s, " \t\r"); }

// %n, %0Nn (the number in the run), %a (the address), %%.
std::string Expand(const std::string& pattern, int n, uint32_t address)
{
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        size_t j = i + 1;
        std::string width;
        while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') width += pattern[j++];
        if (j < pattern.size() && pattern[j] == 'n') {
            std::string digits = std::to_string(n);
            const size_t w = width.empty() ? 0 : static_cast<size_t>(std::atoi(width.c_str()));
            if (digits.size() < w) digits.insert(0, w - digits.size(), '0');
            out += digits;
            i = j;
        } else if (j == i + 1 && j < pattern.size() && pattern[j] == 'a') {
            out += AddressText(address);
            i = j;
        } else if (j == i + 1 && j < pattern.size() && pattern[j] == '%') {
            out += '%';
            i = j;
        } else {
            out += '%';
        }
    }
    return out;
}

bool FileExists(const std::string& p) { return ::access(p.c_str(), R_OK) == 0; }

bool ApplyKey(PrinterEntry& p, const std::string& key, const std::string& value, const std::string& baseDir,
              const std::string& recordingDir, std::string& error)
{
    auto number = [&](int& into) {
        char* end = nullptr;
        long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end) {
            error = key + ": '" + value + "' is not a number";
            return false;
        }
        into = static_cast<int>(v);
        return true;
    };
    int n = 0;
    if (key == "kind") {
        if (value != "maker" && value != "standard") {
            error = "kind is maker or standard";
            return false;
        }
        p.maker = value == "maker";
    } else if (key == "recording") {
        std::string path = value;
        if (!value.empty() && value[0] != '/') {
            path = baseDir + "/" + value;
            if (!FileExists(path)) path = recordingDir + "/" + value;
        }
        if (!FileExists(path)) {
            error = "recording '" + value + "' not found";
            return false;
        }
        p.recording = path;
        p.maker = false;
    } else if (key == "model") p.model = value;
    else if (key == "name") p.name = value;
    else if (key == "location") p.location = value;
    else if (key == "contact") p.contact = value;
    else if (key == "serial") p.serial = value;
    else if (key == "manager") p.manager = value;
    else if (key == "comment") p.comment = value;
    else if (key == "firmware") p.firmware = value;
    else if (key == "panel") p.panelText = value;
    else if (key == "dhcp-host") p.dhcpHostName = value;
    else if (key == "community") p.readCommunity = p.writeCommunity = value;
    else if (key == "write-community") p.writeCommunity = value;
    else if (key == "status") {
        const int code = StatusCodeByName(value);
        if (code < 0) {
            error = "unknown status '" + value + "'";
            return false;
        }
        p.statusCode = code;
    } else if (key == "head") {
        if (!number(p.headStatus)) return false;
    } else if (key == "dhcp") {
        if (!number(p.dhcpEnable)) return false;
    } else if (key == "rfid-ok") {
        if (!number(n)) return false;
        p.rfidOk = n;
    } else if (key == "rfid-error") {
        if (!number(n)) return false;
        p.rfidError = n;
    } else if (key == "labels") {
        if (!number(n)) return false;
        p.labelCount = static_cast<unsigned long>(n);
    } else if (key == "reset-ms") {
        if (!number(p.resetMs)) return false;
    } else if (key == "trap-version") {
        if (value != "1" && value != "2c" && value != "2") {
            error = "trap-version is 1 or 2c";
            return false;
        }
        p.trapVersion = value == "1" ? 1 : 2;
    } else if (IsRawKey(key)) {
        if (!ApplyRawKey(p.raw, key, value, error)) return false;
    } else if (key == "lenient-get") {
        if (value != "1" && value != "0") {
            error = "lenient-get is 1 or 0";
            return false;
        }
        p.lenientGet = value == "1";
    } else if (key.rfind("object.", 0) == 0) {
        const int object = std::atoi(key.c_str() + 7);
        if (object <= 0) {
            error = "bad object key " + key;
            return false;
        }
        p.objects[object] = value;
    } else {
        error = "unknown key '" + key + "'";
        return false;
    }
    return true;
}

} // namespace

bool ParseFleet(const std::string& text, const std::string& baseDir, const std::string& recordingDir, Fleet& fleet,
                std::string& error)
{
    struct Section {
        std::string kind; // "", "printer", "printers"
        int line = 0;
        std::vector<std::pair<std::string, std::string>> keys;
    };
    std::vector<Section> sections(1);
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const std::string t = Trim(line);
        if (t.empty() || t[0] == '#') continue;
        if (t[0] == '[') {
            const std::string name = Trim(t.substr(1, t.find(']') - 1));
            if (t.back() != ']' || (name != "printer" && name != "printers")) {
                error = "line " + std::to_string(lineNo) + ": sections are [printer] or [printers]";
                return false;
            }
            sections.push_back({name, lineNo, {}});
            continue;
        }
        const size_t eq = t.find('=');
        if (eq == std::string::npos) {
            error = "line " + std::to_string(lineNo) + ": key = value expected";
            return false;
        }
        sections.back().keys.emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
    }

    PrinterEntry defaults;
    for (const auto& [key, value] : sections[0].keys) {
        if (key == "trap-to") {
            const size_t colon = value.find(':');
            if (!ParseAddress(value.substr(0, colon), fleet.trapAddress) || !IsLoopback(fleet.trapAddress)) {
                error = "trap-to must be a loopback address";
                return false;
            }
            fleet.trapPort = colon == std::string::npos ? 0 : std::atoi(value.c_str() + colon + 1);
        } else if (!ApplyKey(defaults, key, value, baseDir, recordingDir, error)) {
            error = "fleet defaults: " + error;
            return false;
        }
    }

    std::set<uint32_t> seen;
    for (size_t s = 1; s < sections.size(); ++s) {
        const Section& sec = sections[s];
        const std::string where = "[" + sec.kind + "] at line " + std::to_string(sec.line) + ": ";
        uint32_t first = 0;
        int count = 1;
        std::vector<std::pair<std::string, std::string>> keys;
        for (const auto& kv : sec.keys) {
            if (kv.first == (sec.kind == "printer" ? "address" : "first")) {
                if (!ParseAddress(kv.second, first)) {
                    error = where + "bad address '" + kv.second + "'";
                    return false;
                }
            } else if (sec.kind == "printers" && kv.first == "count") {
                count = std::atoi(kv.second.c_str());
                if (count < 1 || count > 65000) {
                    error = where + "count is 1 to 65000";
                    return false;
                }
            } else {
                keys.push_back(kv);
            }
        }
        if (first == 0) {
            error = where + (sec.kind == "printer" ? "address" : "first") + " is missing";
            return false;
        }
        int made = 0;
        for (int i = 0; i < count; ++i) {
            const uint32_t address = first + static_cast<uint32_t>(i);
            if (!IsLoopback(address) || (address & 0xFF) == 0 || (address & 0xFF) == 255) {
                if (sec.kind == "printers" && IsLoopback(address)) {
                    ++count; // runs skip the .0 and .255 host numbers
                    continue;
                }
                error = where + AddressText(address) + " is not a loopback host address (127.0.0.0/8)";
                return false;
            }
            if (!seen.insert(address).second) {
                error = where + AddressText(address) + " is served twice";
                return false;
            }
            PrinterEntry p = defaults;
            p.address = address;
            const int n = static_cast<int>(fleet.printers.size()) + 1;
            const int inRun = ++made;
            for (const auto& [key, value] : keys) {
                if (!ApplyKey(p, key, Expand(value, sec.kind == "printers" ? inRun : n, address), baseDir, recordingDir,
                              error)) {
                    error = where + error;
                    return false;
                }
            }
            if (p.name.empty()) p.name = "printer-" + AddressText(address);
            if (p.serial.empty()) p.serial = "QS" + std::to_string(100000 + (address & 0xFFFF));
            fleet.printers.push_back(std::move(p));
        }
    }
    if (fleet.printers.empty()) {
        error = "the fleet holds no printer";
        return false;
    }
    return true;
}

bool LoadFleetFile(const std::string& path, const std::string& recordingDir, Fleet& fleet, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "fleet file " + path + " cannot be read";
        return false;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    const size_t slash = path.rfind('/');
    return ParseFleet(ss.str(), slash == std::string::npos ? "." : path.substr(0, slash), recordingDir, fleet, error);
}

std::string DemoFleetText()
{
    return "# The demonstration fleet: six label printers and a card printer of the\n"
           "# maker and two standard printers, on loopback addresses of their own.\n"
           "trap-to = 127.0.0.1\n"
           "[printer]\naddress = 127.0.0.11\nmodel = QAV M-UG2W\nname = Shipping labeller\n"
           "location = Warehouse A\nmanager = J. Baker\ncomment = Dock 1\nlabels = 182340\n"
           "[printer]\naddress = 127.0.0.12\nmodel = QAV M-UH5W\nname = Returns labeller\n"
           "location = Warehouse A\nmanager = J. Baker\nstatus = paper-near-end\n"
           "[printer]\naddress = 127.0.0.13\nmodel = QAV MC111W\nname = Pallet printer\n"
           "location = Warehouse B\nmanager = R. Osei\ndhcp = 1\ndhcp-host = pallet-printer\n"
           "[printer]\naddress = 127.0.0.14\nmodel = QAV M-RA1\nname = RFID tagger\n"
           "location = Line 2\nmanager = R. Osei\nrfid-ok = 9120\nrfid-error = 3\n"
           "[printer]\naddress = 127.0.0.15\nmodel = QAV MD111\nname = Lab printer\n"
           "location = Quality lab\nhead = 1\ntrap-version = 2c\n"
           "[printer]\naddress = 127.0.0.16\nmodel = QAV M-UG2W\nobject.20061 = Metal\nname = Spare labeller\n"
           "location = Stores\nstatus = pause\n"
           "[printer]\naddress = 127.0.0.17\nmodel = QAV M-RC5K\nname = Card printer\n"
           "location = Front desk\nmanager = J. Baker\n"
           "[printer]\naddress = 127.0.0.30\nrecording = zebra-tlp2824plus.snmprec\n"
           "[printer]\naddress = 127.0.0.31\nkind = standard\nmodel = Office laser 5000\n"
           "name = Office laser\nlocation = Front office\n";
}

} // namespace qavsim
