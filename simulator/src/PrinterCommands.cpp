#include "PrinterCommands.h"

#include <cstdio>

#include "Printer.h"

namespace qavsim {

namespace {

constexpr size_t kHeadLength = 6; // "{GOID;"
constexpr size_t kMaxCommand = 10000;
constexpr size_t kMaxField = 255;
constexpr int kGenErr = 5;

// Reads `count` decimal digits at `pos`; -1 when they are not all digits
// or not all there.
int Digits(const std::string& text, size_t pos, size_t count)
{
    if (pos + count > text.size()) return -1;
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        const char c = text[pos + i];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

void AppendNumber(std::string& out, int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    out += text;
}

struct Binding {
    std::string oid;
    int type = 5;
    std::string value;
};

void AppendRecord(std::string& reply, const std::string& oid, int status, int type, std::string value)
{
    if (value.size() > kMaxField) value.resize(kMaxField);
    const std::string name = oid.size() > kMaxField ? oid.substr(0, kMaxField) : oid;
    AppendNumber(reply, static_cast<int>(name.size()), 3);
    reply += name;
    AppendNumber(reply, status, 2);
    AppendNumber(reply, type, 3);
    AppendNumber(reply, static_cast<int>(value.size()), 3);
    reply += value;
}

// One binding as an SNMPv1 request of its own.
void AnswerBinding(Mib& mib, const AgentPolicy& policy, bool set, const Binding& b, std::string& reply)
{
    Oid name;
    if (!ParseOid(b.oid, name)) {
        AppendRecord(reply, b.oid, 2, 5, "");
        return;
    }
    Message request;
    request.version = 0;
    request.pduType = set ? kSetRequest : kGetRequest;
    request.community = set ? policy.writeCommunity : policy.readCommunity;
    Value value = Value::Null();
    if (set && b.type != 5) value = ValueOfType(b.type, b.value);
    request.varbinds.push_back({name, value});
    const auto response = Answer(mib, policy, request);
    if (!response || response->errorStatus != 0 || response->varbinds.empty()) {
        AppendRecord(reply, b.oid, response ? response->errorStatus : kGenErr, 5, "");
        return;
    }
    const VarBind& answer = response->varbinds.front();
    AppendRecord(reply, OidText(answer.name), 0, answer.value.type, ValueText(answer.value));
}

} // namespace

int ObjectCommandLength(const std::string& text)
{
    if (text.size() > kMaxCommand) return -1;
    size_t pos = kHeadLength;
    if (Digits(text, pos, 3) < 0) return text.size() < pos + 3 ? 0 : -1;
    pos += 3;
    for (;;) {
        if (text.size() < pos + 2) return 0;
        if (text[pos] == '|' && text[pos + 1] == '}') return static_cast<int>(pos + 2);
        const int oidLength = Digits(text, pos, 3);
        if (oidLength < 0) return text.size() < pos + 3 ? 0 : -1;
        pos += 3 + static_cast<size_t>(oidLength);
        if (text.size() < pos + 8) return 0;
        const int valueLength = Digits(text, pos + 5, 3);
        if (Digits(text, pos, 2) < 0 || Digits(text, pos + 2, 3) < 0 || valueLength < 0) return -1;
        pos += 8 + static_cast<size_t>(valueLength);
    }
}

std::string AnswerObjectCommand(Mib& mib, const AgentPolicy& policy, const std::string& command,
                                const ObjectReplyOptions& options)
{
    const bool set = command.compare(0, kHeadLength, "{SOID;") == 0;
    const int sequence = Digits(command, kHeadLength, 3);
    std::string reply = "\x01\x02"
                        "E";
    AppendNumber(reply, (sequence + options.sequenceOffset) % 1000, 3);
    size_t pos = kHeadLength + 3;
    while (pos + 2 <= command.size() && command.compare(pos, 2, "|}") != 0) {
        Binding b;
        const int oidLength = Digits(command, pos, 3);
        if (oidLength < 0) break;
        b.oid = command.substr(pos + 3, static_cast<size_t>(oidLength));
        pos += 3 + static_cast<size_t>(oidLength);
        b.type = Digits(command, pos + 2, 3);
        const int valueLength = Digits(command, pos + 5, 3);
        if (b.type < 0 || valueLength < 0) break;
        b.value = command.substr(pos + 8, static_cast<size_t>(valueLength));
        pos += 8 + static_cast<size_t>(valueLength);
        if (options.genErr) {
            AppendRecord(reply, b.oid, kGenErr, 5, "");
        } else {
            AnswerBinding(mib, policy, set, b, reply);
        }
    }
    reply += "\x03\x04\r\n";
    return reply;
}

std::string ValueText(const Value& v)
{
    switch (v.type) {
    case kInteger: return std::to_string(v.number);
    case kCounter32:
    case kGauge32:
    case kTimeTicks:
    case kCounter64: return std::to_string(static_cast<uint64_t>(v.number));
    case kObjectId: return OidText(v.oid);
    case kIpAddress: {
        if (v.bytes.size() != 4) return "0.0.0.0";
        const auto* b = reinterpret_cast<const unsigned char*>(v.bytes.data());
        return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." +
               std::to_string(b[3]);
    }
    case kNull: return std::string();
    default: return v.bytes;
    }
}

} // namespace qavsim
