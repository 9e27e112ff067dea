#include "Recording.h"

#include <cstdlib>
#include <fstream>

#include "qavplatform/Address.h"

namespace qavsim {

namespace {

bool FromHex(const std::string& hex, std::string& out)
{
    if (hex.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        const std::string byte = hex.substr(i, 2);
        long v = std::strtol(byte.c_str(), &end, 16);
        if (*end) return false;
        out += static_cast<char>(v);
    }
    return true;
}

} // namespace

bool LoadRecording(const std::string& path, Mib& mib, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = "recording " + path + " cannot be read";
        return false;
    }
    const Oid writableSystem[] = {{1, 3, 6, 1, 2, 1, 1, 4, 0}, {1, 3, 6, 1, 2, 1, 1, 5, 0}, {1, 3, 6, 1, 2, 1, 1, 6, 0}};
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const size_t a = line.find('|');
        const size_t b = a == std::string::npos ? a : line.find('|', a + 1);
        if (b == std::string::npos) continue; // not a record line
        Oid oid;
        if (!ParseOid(line.substr(0, a), oid)) continue;
        std::string tag = line.substr(a + 1, b - a - 1);
        std::string value = line.substr(b + 1);
        bool writable = false;
        const size_t colon = tag.find(':');
        if (colon != std::string::npos) {
            writable = tag.substr(colon + 1) == "writecache";
            tag = tag.substr(0, colon);
            const size_t v = value.find("value=");
            value = v == std::string::npos ? std::string() : value.substr(v + 6);
        }
        bool hex = !tag.empty() && tag.back() == 'x';
        if (hex) tag.pop_back();
        if (hex) {
            std::string bytes;
            if (!FromHex(value, bytes)) {
                error = path + ":" + std::to_string(lineNo) + ": bad hex value";
                return false;
            }
            value = bytes;
        }
        Value v;
        switch (std::atoi(tag.c_str())) {
        case kInteger: v = Value::Integer(std::strtoll(value.c_str(), nullptr, 10)); break;
        case kOctetString: v = Value::Text(value); break;
        case kNull: v = Value::Null(); break;
        case kObjectId: {
            Oid o;
            if (!ParseOid(value, o)) o = {0, 0};
            v = Value::ObjectId(o);
            break;
        }
        case kIpAddress: {
            if (hex && value.size() == 4) {
                v.type = kIpAddress;
                v.bytes = value;
            } else {
                uint32_t a = 0; // 0.0.0.0 for a text that is no address
                qavplatform::ParseAddress(value, a);
                v = Value::Ip(a);
            }
            break;
        }
        case kCounter32: v = Value::Unsigned(kCounter32, std::strtoull(value.c_str(), nullptr, 10)); break;
        case kGauge32: v = Value::Unsigned(kGauge32, std::strtoull(value.c_str(), nullptr, 10)); break;
        case kTimeTicks: v = Value::Unsigned(kTimeTicks, std::strtoull(value.c_str(), nullptr, 10)); break;
        case kOpaque: v.type = kOpaque; v.bytes = value; break;
        case kCounter64: v = Value::Unsigned(kCounter64, std::strtoull(value.c_str(), nullptr, 10)); break;
        default: continue;
        }
        for (const Oid& w : writableSystem) writable = writable || w == oid;
        mib.Set(oid, v, writable);
    }
    if (mib.Size() == 0) {
        error = "recording " + path + " holds no objects";
        return false;
    }
    return true;
}

} // namespace qavsim
