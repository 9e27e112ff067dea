// GetObject and SetObject over non-SNMP ports: the binding list travels as
// one object-access command of the printer command language, and the reply
// comes back as a binding list with the same type codes as over SNMP.
//
// Command:  "{GOID;" or "{SOID;", 3-digit sequence number, then per binding
//           3-digit OID length, OID, "00", 3-digit type, 3-digit value
//           length, value (SET only), and "|}" at the end.
// Reply:    SOH STX 'E', the same sequence number, per binding 3-digit OID
//           length, OID, 2-digit status, 3-digit type, 3-digit value length,
//           value; ETX EOT CR LF at the end.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PrinterCommand.h"
#include "ncomm/QBPResult.h"

namespace {

constexpr int kGet = 0xA0;

void AppendNumber(std::string& out, int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    out += text;
}

// Reads `count` decimal digits; false if any of them is not a digit.
bool ReadDigits(const unsigned char* p, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        value = value * 10 + (p[i] - '0');
    }
    return true;
}

} // namespace

namespace ncomm {

std::string CreateQPCLCommand(int requestType, const CQBPVb& request, int sequence)
{
    std::string cmd = requestType == kGet ? "{GOID;" : "{SOID;";
    AppendNumber(cmd, sequence, 3);
    for (int i = 0; i < request.GetSize(); ++i) {
        char oid[256] = {};
        char text[257] = {};
        int type = request.GetType(i);
        std::string value;
        int rc;
        switch (type) {
        case 2: {
            int v = 0;
            rc = request.Get(i, oid, sizeof oid, type, v);
            value = std::to_string(v);
            break;
        }
        case 65:
        case 66:
        case 67: {
            unsigned int v = 0;
            rc = request.Get(i, oid, sizeof oid, type, v);
            value = std::to_string(v);
            break;
        }
        case 70: {
            unsigned int low = 0, high = 0;
            rc = request.Get(i, oid, sizeof oid, type, low, high);
            value = std::to_string((static_cast<unsigned long long>(high) << 32) | low);
            break;
        }
        default:
            rc = request.Get(i, oid, sizeof oid, type, text, sizeof text);
            value = text;
            break;
        }
        // A NULL binding, a binding with a status and a GET binding ask for
        // a value and carry none.
        const bool carriesValue = requestType != kGet && rc == QBP_OK && type != 5;
        const size_t oidLen = std::strlen(oid);
        AppendNumber(cmd, static_cast<int>(oidLen), 3);
        cmd += oid;
        cmd += "00";
        AppendNumber(cmd, carriesValue ? type : 5, 3);
        if (carriesValue) {
            AppendNumber(cmd, static_cast<int>(value.size()), 3);
            cmd += value;
        } else {
            cmd += "000";
        }
    }
    cmd += "|}";
    return cmd;
}

int ConvQPCLtoVb(const unsigned char* reply, int length, int sequence, CQBPVb& result)
{
    static const unsigned char kHead[] = {0x01, 0x02, 0x45};
    static const unsigned char kTail[] = {0x03, 0x04, 0x0D, 0x0A};
    if (!reply || length < 10 || std::memcmp(reply, kHead, 3) != 0 || std::memcmp(reply + length - 4, kTail, 4) != 0)
        return QBP_READ_FAILED;
    int seq = 0;
    if (!ReadDigits(reply + 3, 3, seq) || seq != sequence) return QBP_READ_FAILED;
    result.Remove();

    const int end = length - 4;
    int pos = 6;
    while (pos < end) {
        int oidLen = 0, status = 0, type = 0, valueLen = 0;
        if (pos + 3 > end || !ReadDigits(reply + pos, 3, oidLen) || oidLen > 255) return QBP_READ_FAILED;
        pos += 3;
        if (pos + oidLen + 8 > end) return QBP_READ_FAILED;
        const std::string oid(reinterpret_cast<const char*>(reply + pos), oidLen);
        pos += oidLen;
        if (!ReadDigits(reply + pos, 2, status) || !ReadDigits(reply + pos + 2, 3, type) ||
            !ReadDigits(reply + pos + 5, 3, valueLen) || valueLen > 255)
            return QBP_READ_FAILED;
        pos += 8;
        if (pos + valueLen > end) return QBP_READ_FAILED;
        const std::string value(reinterpret_cast<const char*>(reply + pos), valueLen);
        pos += valueLen;

        // Records past the 20th do not fit the list and are left out.
        if (status != 0) {
            result.Add(oid.c_str(), -status, 0);
            continue;
        }
        switch (type) {
        case 0:
        case 5:
            result.Add(oid.c_str(), 5, "");
            break;
        case 2:
            result.Add(oid.c_str(), 2, static_cast<int>(std::strtol(value.c_str(), nullptr, 10)));
            break;
        case 4:
        case 6:
        case 64:
            result.Add(oid, type, value);
            break;
        case 65:
        case 66:
        case 67:
            result.Add(oid.c_str(), type, static_cast<unsigned int>(std::strtoull(value.c_str(), nullptr, 10)), 0u);
            break;
        case 70: {
            const unsigned long long v = std::strtoull(value.c_str(), nullptr, 10);
            result.Add(oid.c_str(), 70, static_cast<unsigned int>(v & 0xFFFFFFFFu), static_cast<unsigned int>(v >> 32));
            break;
        }
        default:
            return QBP_READ_FAILED;
        }
    }
    return QBP_OK;
}

} // namespace ncomm
