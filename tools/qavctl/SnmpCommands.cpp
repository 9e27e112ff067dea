// qavctl get | next | set: object access through the communication
// library (SNMP, or printer commands over the other ports), naming objects
// by object-table number or by OID.
#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "Commands.h"
#include "Ports.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavres/Resources.h"

namespace qavctl {

namespace {

struct Options {
    std::string port = "SNMP";
    int version = 2;
    std::string readCommunity;
    std::string writeCommunity;
    std::string address;
    Args rest;
};

// Options first, then the address, then the operands.
bool ParseOptions(const Args& args, Options& o, std::string& error)
{
    size_t i = 0;
    for (; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-v1") {
            o.version = 1;
        } else if (a == "-v2c" || a == "-v2") {
            o.version = 2;
        } else if (a == "-c" || a == "-w") {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a community";
                return false;
            }
            (a == "-c" ? o.readCommunity : o.writeCommunity) = args[++i];
        } else if (a == "--port") {
            if (i + 1 >= args.size()) {
                error = "option --port needs a port (SNMP, TCP/IP, COMn, LPTn, USB)";
                return false;
            }
            o.port = args[++i];
        } else if (a.size() > 1 && a[0] == '-') { // "-" alone is an address (LPT)
            error = "unknown option " + a;
            return false;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        error = "no printer address given";
        return false;
    }
    o.address = args[i++];
    if (!CheckPortAddress(o.port, o.address, error)) return false;
    o.rest.assign(args.begin() + static_cast<long>(i), args.end());
    if (o.rest.empty()) {
        error = "no object given";
        return false;
    }
    return true;
}

const qavres::ObjectTable* Objects(std::string& error)
{
    static qavres::ObjectTable table;
    static bool tried = false;
    static std::string loadError;
    if (!tried) {
        tried = true;
        table.Load(&loadError);
    }
    if (!table.IsLoaded()) {
        error = "the object table cannot be loaded (" + loadError + ")";
        return nullptr;
    }
    return &table;
}

bool AllDigits(const std::string& s)
{
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// OBJECT[.INSTANCE] when the leading number is in the object table; any
// other dotted text is an OID. `tableType` receives the table's type code
// for objects, 0 for plain OIDs.
bool ResolveObject(const std::string& text, std::string& oid, int& tableType, std::string& error)
{
    tableType = 0;
    const size_t dot = text.find('.');
    const std::string head = text.substr(0, dot);
    const std::string tail = dot == std::string::npos ? "0" : text.substr(dot + 1);
    const bool looksLikeObject = AllDigits(head) && AllDigits(tail) && tail.find('.') == std::string::npos &&
                                 head.size() >= 2 && (dot == std::string::npos || head != "1");
    if (looksLikeObject) {
        const qavres::ObjectTable* table = Objects(error);
        if (!table) return false;
        const int number = std::atoi(head.c_str());
        if (!table->Oid(number).empty()) {
            oid = table->RequestOid(number, std::atoi(tail.c_str()));
            tableType = table->TypeCode(number);
            return true;
        }
        if (dot == std::string::npos) {
            error = "unknown object " + head;
            return false;
        }
    }
    for (char c : text) {
        if (!(c == '.' || (c >= '0' && c <= '9'))) {
            error = "'" + text + "' is neither an object number nor a dotted OID";
            return false;
        }
    }
    if (text.find('.') == std::string::npos) {
        error = "unknown object " + text;
        return false;
    }
    oid = text;
    return true;
}

int TypeFromName(const std::string& name, int tableType)
{
    struct Name {
        const char* longName;
        const char* shortName;
        int code;
    };
    static const Name kNames[] = {{"Integer", "i", 2},   {"String", "s", 4},    {"OID", "o", 6},
                                  {"IPAddress", "a", 64}, {"Counter32", "c", 65}, {"Gauge32", "g", 66},
                                  {"Timeticks", "t", 67}, {"Counter64", "C", 70}};
    if (name == "-") return tableType;
    for (const Name& n : kNames) {
        if (name == n.shortName || strcasecmp(name.c_str(), n.longName) == 0) return n.code;
    }
    return 0;
}

const char* TypeName(int type)
{
    switch (type) {
    case 2: return "Integer";
    case 4: return "String";
    case 5: return "Null";
    case 6: return "OID";
    case 64: return "IPAddress";
    case 65: return "Counter32";
    case 66: return "Gauge32";
    case 67: return "Timeticks";
    case 70: return "Counter64";
    default: return "?";
    }
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value)
{
    if (!AllDigits(text)) return false;
    errno = 0;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0 && value <= max;
}

// Adds a binding of the given type and value text to the list.
bool AddTyped(CQBPVb& list, const std::string& oid, int type, const std::string& value, std::string& error)
{
    int rc = 0;
    switch (type) {
    case 2: {
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || errno || v < -2147483648L || v > 2147483647L) {
            error = "'" + value + "' is not a 32-bit integer";
            return false;
        }
        rc = list.Add(oid.c_str(), 2, static_cast<int>(v));
        break;
    }
    case 65:
    case 66:
    case 67: {
        unsigned long long v = 0;
        if (!ParseUnsigned(value, 0xFFFFFFFFull, v)) {
            error = "'" + value + "' is not an unsigned 32-bit number";
            return false;
        }
        rc = list.Add(oid.c_str(), type, static_cast<unsigned>(v), 0u);
        break;
    }
    case 70: {
        unsigned long long v = 0;
        if (!ParseUnsigned(value, ~0ull, v)) {
            error = "'" + value + "' is not an unsigned 64-bit number";
            return false;
        }
        rc = list.Add(oid.c_str(), 70, static_cast<unsigned>(v & 0xFFFFFFFFu), static_cast<unsigned>(v >> 32));
        break;
    }
    case 64: {
        in_addr a{};
        if (::inet_pton(AF_INET, value.c_str(), &a) != 1) {
            error = "'" + value + "' is not an IPv4 address";
            return false;
        }
        rc = list.Add(oid, 64, value);
        break;
    }
    case 4:
    case 6:
        rc = list.Add(oid, type, value);
        break;
    default:
        error = "unknown type";
        return false;
    }
    if (rc == QBP_LIST_FULL) {
        error = "at most 20 objects fit one request";
        return false;
    }
    return rc == 0;
}

void PrintList(const CQBPVb& list)
{
    for (int i = 0; i < list.GetSize(); ++i) {
        const int type = list.GetType(i);
        if (type < 0) {
            std::printf("%s = error %d (%s)\n", list.OidAt(i).c_str(), type, QBPResultText(type));
        } else {
            std::printf("%s = %s: %s\n", list.OidAt(i).c_str(), TypeName(type), Printable(list.ValueAt(i)).c_str());
        }
    }
}

enum class Op { kGet, kNext, kSet };

int Run(Op op, const Args& args)
{
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error)) return UsageError(error);

    CQBPVb request;
    const size_t step = op == Op::kSet ? 3 : 1;
    if (o.rest.size() % step != 0) return UsageError("set takes OBJECT TYPE VALUE triples");
    for (size_t i = 0; i < o.rest.size(); i += step) {
        std::string oid;
        int tableType = 0;
        if (!ResolveObject(o.rest[i], oid, tableType, error)) return UsageError(error);
        if (op == Op::kSet) {
            const int type = TypeFromName(o.rest[i + 1], tableType);
            if (type == 0 || type == 5) {
                return UsageError("wrong type '" + o.rest[i + 1] + "' for " + o.rest[i] +
                                  (o.rest[i + 1] == "-" ? " (no table type: give one)" : ""));
            }
            if (!AddTyped(request, oid, type, o.rest[i + 2], error)) return UsageError(o.rest[i] + ": " + error);
        } else if (request.Add(oid.c_str(), 5, "") == QBP_LIST_FULL) {
            return UsageError("at most 20 objects fit one request");
        }
    }

    int rc = 0;
    CQBPTrans session(rc, o.version);
    if (!OpenPort(session, o.port, o.address)) return 1;
    if (o.port == "SNMP" && session.SetCommunity(o.readCommunity.c_str(), o.writeCommunity.c_str()) != 0) {
        std::fprintf(stderr, "qavctl: error %d: %s\n", QBPGetLastError(), QBPResultText(QBPGetLastError()));
        return 1;
    }
    CQBPVb result;
    rc = op == Op::kGet ? session.GetObject(request, result)
         : op == Op::kNext ? session.GetNextObject(request, result)
                           : session.SetObject(request, result);
    if (rc != 0) {
        std::fprintf(stderr, "qavctl: %s: error %d: %s\n", PortText(o.port, o.address).c_str(), rc, QBPResultText(rc));
        return 1;
    }
    PrintList(result);
    for (int i = 0; i < result.GetSize(); ++i) {
        if (result.GetType(i) < 0) return 1;
    }
    return result.GetSize() == request.GetSize() ? 0 : 1;
}

} // namespace

int RunGet(const Args& args) { return Run(Op::kGet, args); }
int RunNext(const Args& args) { return Run(Op::kNext, args); }
int RunSet(const Args& args) { return Run(Op::kSet, args); }

} // namespace qavctl
