// qavctl get | next | set: object access through the communication
// library (SNMP, or printer commands over the other ports), naming objects
// by object-table number or by OID.
#include <arpa/inet.h>
#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"
#include "Json.h"
#include "Ports.h"
#include "Text.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"
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
    oid = text[0] == '.' ? text.substr(1) : text; // as agents write it back
    return true;
}

int TypeFromName(const std::string& name, int tableType)
{
    struct Name {
        const char* longName;
        const char* shortName;
        int code;
    };
    static const Name kNames[] = {
        {"Integer", "i", ber::kInteger},     {"String", "s", ber::kOctetString}, {"OID", "o", ber::kOid},
        {"IPAddress", "a", ber::kIpAddress}, {"Counter32", "c", ber::kCounter32}, {"Gauge32", "g", ber::kGauge32},
        {"Timeticks", "t", ber::kTimeTicks}, {"Counter64", "C", ber::kCounter64},
    };
    if (name == "-") return tableType;
    for (const Name& n : kNames) {
        if (name == n.shortName || strcasecmp(name.c_str(), n.longName) == 0) return n.code;
    }
    return 0;
}

const char* TypeName(int type)
{
    switch (type) {
    case ber::kInteger: return "Integer";
    case ber::kOctetString: return "String";
    case ber::kNull: return "Null";
    case ber::kOid: return "OID";
    case ber::kIpAddress: return "IPAddress";
    case ber::kCounter32: return "Counter32";
    case ber::kGauge32: return "Gauge32";
    case ber::kTimeTicks: return "Timeticks";
    case ber::kCounter64: return "Counter64";
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
    case ber::kInteger: {
        char* end = nullptr;
        errno = 0;
        long v = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end || errno || v < -2147483648L || v > 2147483647L) {
            error = "'" + value + "' is not a 32-bit integer";
            return false;
        }
        rc = list.Add(oid.c_str(), ber::kInteger, static_cast<int>(v));
        break;
    }
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks: {
        unsigned long long v = 0;
        if (!ParseUnsigned(value, 0xFFFFFFFFull, v)) {
            error = "'" + value + "' is not an unsigned 32-bit number";
            return false;
        }
        rc = list.Add(oid.c_str(), type, static_cast<unsigned>(v), 0u);
        break;
    }
    case ber::kCounter64: {
        unsigned long long v = 0;
        if (!ParseUnsigned(value, ~0ull, v)) {
            error = "'" + value + "' is not an unsigned 64-bit number";
            return false;
        }
        rc = list.Add(oid.c_str(), ber::kCounter64, static_cast<unsigned>(v & 0xFFFFFFFFu),
                      static_cast<unsigned>(v >> 32));
        break;
    }
    case ber::kIpAddress: {
        uint32_t a = 0;
        if (!qavplatform::ParseAddress(value, a)) {
            error = "'" + value + "' is not an IPv4 address";
            return false;
        }
        rc = list.Add(oid, ber::kIpAddress, value);
        break;
    }
    case ber::kOctetString:
    case ber::kOid:
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

// How a value is written: numbers bare in JSON, texts as strings, binary
// octets as their hex pairs.
enum class ValueKind { kNumber, kText, kBinary };

// The value of a binding as qavctl prints it: the list's text, except that
// the unsigned types print their unsigned value (the list keeps 32-bit
// values as signed text, Counter32 4294967295 as "-1") and that an octet
// string that is not text (a MAC address's raw bytes) prints as hex pairs.
std::string ValueText(const CQBPVb& list, int index, ValueKind& kind)
{
    char oid[1024];
    int type = 0;
    kind = ValueKind::kNumber;
    switch (list.GetType(index)) {
    case ber::kInteger: {
        int v = 0;
        if (list.Get(index, oid, sizeof oid, type, v) == 0) return std::to_string(v);
        break;
    }
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks: {
        unsigned int v = 0;
        if (list.Get(index, oid, sizeof oid, type, v) == 0) return std::to_string(v);
        break;
    }
    case ber::kCounter64: {
        unsigned int low = 0, high = 0;
        if (list.Get(index, oid, sizeof oid, type, low, high) == 0)
            return std::to_string((static_cast<unsigned long long>(high) << 32) | low);
        break;
    }
    case ber::kOctetString: {
        const std::string& octets = list.ValueAt(index);
        kind = IsText(octets) ? ValueKind::kText : ValueKind::kBinary;
        return kind == ValueKind::kText ? octets : HexPairs(octets);
    }
    default:
        break;
    }
    kind = ValueKind::kText;
    return list.ValueAt(index);
}

// Whether a GET-NEXT answer's OID follows the requested one.
bool Follows(const std::string& answer, const std::string& request)
{
    const char* a = answer.c_str();
    const char* r = request.c_str();
    for (;;) {
        if (*a == '.') ++a;
        if (*r == '.') ++r;
        if (!*r) return *a != '\0';
        if (!*a) return false;
        char* endA = nullptr;
        char* endR = nullptr;
        const unsigned long arcA = std::strtoul(a, &endA, 10), arcR = std::strtoul(r, &endR, 10);
        if (arcA != arcR) return arcA > arcR;
        a = endA;
        r = endR;
    }
}

// What one requested object came back as.
struct Answer {
    std::string request; // as the user gave it
    std::string oid;     // the requested OID, or the one that answered
    int type = 0;        // the value's type, or the error code (negative)
    std::string value;   // the value, or the error's meaning
    ValueKind kind = ValueKind::kText;
};

// Every requested object with its answer. The list leaves out the objects
// an SNMPv2c agent answered with an exception (noSuchObject,
// noSuchInstance, endOfMibView): those become failures of their own.
std::vector<Answer> MatchAnswers(bool next, const Args& requests, const CQBPVb& request, const CQBPVb& result)
{
    std::vector<Answer> answers;
    int j = 0;
    for (int i = 0; i < request.GetSize(); ++i) {
        Answer a;
        a.request = requests[static_cast<size_t>(i)];
        const std::string& asked = request.OidAt(i);
        const bool answered = j < result.GetSize() &&
                              (next ? result.GetType(j) < 0 || Follows(result.OidAt(j), asked)
                                    : result.OidAt(j) == asked || result.OidAt(j) == "0.0");
        if (!answered) {
            a.oid = asked;
            a.type = QBP_INDEX_OUT_OF_RANGE;
            a.value = next ? "no value: no object follows it" : "no value: no such object or instance";
        } else {
            a.oid = result.OidAt(j);
            a.type = result.GetType(j);
            a.value = a.type < 0 ? QBPResultText(a.type) : ValueText(result, j, a.kind);
            ++j;
        }
        answers.push_back(std::move(a));
    }
    return answers;
}

void PrintAnswers(const std::vector<Answer>& answers, bool json)
{
    if (!json) {
        for (const Answer& a : answers) {
            if (a.type < 0) std::printf("%s = error %d (%s)\n", a.oid.c_str(), a.type, a.value.c_str());
            else std::printf("%s = %s: %s\n", a.oid.c_str(), TypeName(a.type), VisibleText(a.value).c_str());
        }
        return;
    }
    JsonWriter out;
    out.BeginArray();
    for (const Answer& a : answers) {
        out.BeginObject().Field("request", a.request).Field("oid", a.oid);
        if (a.type < 0) {
            out.Field("error", a.type).Field("message", a.value);
        } else {
            out.Field("type", TypeName(a.type)).Key("value");
            if (a.kind == ValueKind::kNumber) out.Number(a.value);
            else out.Value(a.value);
            // The value is the hex pairs of octets that are not text.
            if (a.kind == ValueKind::kBinary) out.Field("binary", true);
        }
        out.EndObject();
    }
    out.EndArray().Print();
}

enum class Op { kGet, kNext, kSet };

int Run(Op op, const Args& args, const Output& output)
{
    Options o;
    std::string error;
    if (!ParseOptions(args, o, error)) return UsageError(error);

    CQBPVb request;
    Args requests; // the objects as given, one a binding
    const size_t step = op == Op::kSet ? 3 : 1;
    if (o.rest.size() % step != 0) return UsageError("set takes OBJECT TYPE VALUE triples");
    for (size_t i = 0; i < o.rest.size(); i += step) {
        std::string oid;
        int tableType = 0;
        if (!ResolveObject(o.rest[i], oid, tableType, error)) return UsageError(error);
        requests.push_back(o.rest[i]);
        if (op == Op::kSet) {
            const int type = TypeFromName(o.rest[i + 1], tableType);
            if (type == 0 || type == ber::kNull) {
                return UsageError("wrong type '" + o.rest[i + 1] + "' for " + o.rest[i] +
                                  (o.rest[i + 1] == "-" ? " (no table type: give one)" : ""));
            }
            if (!AddTyped(request, oid, type, o.rest[i + 2], error)) return UsageError(o.rest[i] + ": " + error);
        } else if (request.Add(oid.c_str(), ber::kNull, "") == QBP_LIST_FULL) {
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
    const std::vector<Answer> answers = MatchAnswers(op == Op::kNext, requests, request, result);
    PrintAnswers(answers, output.json);
    for (const Answer& a : answers) {
        if (a.type < 0) return 1; // every object must have its value
    }
    return 0;
}

} // namespace

int RunGet(const Args& args, const Output& output) { return Run(Op::kGet, args, output); }
int RunNext(const Args& args, const Output& output) { return Run(Op::kNext, args, output); }
int RunSet(const Args& args, const Output& output) { return Run(Op::kSet, args, output); }

} // namespace qavctl
