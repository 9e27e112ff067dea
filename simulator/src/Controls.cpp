// What a simulated printer does with the writes it accepts: the remote keys
// (object 20861: 1 feeds a label, 2 restarts, 3 pauses), the control
// command (object 20841: 1 resets), and the names the device setting
// writes, kept for the run. Every accepted write is logged.
#include <cstdlib>

#include "Printer.h"
#include "qavres/Resources.h"

namespace qavsim {

namespace {

constexpr int kKey = 20861, kControl = 20841, kLabelCount = 21521;
constexpr int kKeyFeed = 1, kKeyRestart = 2, kKeyPause = 3;
constexpr int kControlReset = 1;

// The paused form of a state, and the state a restart returns to.
struct PauseRow {
    int running;
    int paused;
};
const PauseRow kPauses[] = {
    {0, 4},   // online
    {27, 28}, // ribbon near end
    {80, 81}, // paper near end
};

std::string ValueText(const Value& v)
{
    switch (v.type) {
    case kOctetString: return v.bytes;
    case kObjectId: return OidText(v.oid);
    case kNull: return std::string();
    default: return std::to_string(v.number);
    }
}

} // namespace

Printer::Reaction Printer::OnWritten(const std::vector<Oid>& written)
{
    Reaction reaction = Reaction::kNone;
    StartHeadCheck(written);
    for (const Oid& oid : written) {
        const Mib::Entry* e = mib_.Find(oid);
        if (!e) continue;
        const int object = oid.size() > 1 ? table_->Find(OidText(Oid(oid.begin(), oid.end() - 1))) : 0;
        const std::string value = ValueText(e->value);
        writes_.push_back({object, value});
        const int code = entry_.statusCode;
        switch (object) {
        case kKey:
            if (e->value.number == kKeyFeed) {
                ++entry_.labelCount;
                const uint64_t count = entry_.labelCount & 0xFFFFFFFFu;
                SetObject(obj::kMarkerLifeCount, Value::Unsigned(kCounter32, count), false, -1);
                SetObject(kLabelCount, Value::Integer(static_cast<int64_t>(entry_.labelCount)), false, 0);
            }
            for (const PauseRow& p : kPauses) {
                if (e->value.number == kKeyPause && (code == p.running || (p.running == 0 && (code == 2 || code == 5))))
                    SetStatus(p.paused);
                if (e->value.number == kKeyRestart && code == p.paused) SetStatus(p.running);
            }
            break;
        case kControl:
            if (e->value.number == kControlReset) {
                answering_ = false;
                reaction = Reaction::kReset;
            }
            break;
        case obj::kName: entry_.name = value; break;
        case obj::kLocation: entry_.location = value; break;
        case obj::kContact: entry_.contact = value; break;
        case obj::kManager: entry_.manager = value; break;
        case obj::kComment: entry_.comment = value; break;
        case obj::kSerial:
            entry_.serial = value;
            SetObject(obj::kSerialStd, Value::Text(value), false, -1);
            break;
        default: break;
        }
    }
    return reaction;
}

void Printer::FinishReset()
{
    int code = entry_.statusCode;
    for (const PauseRow& p : kPauses) {
        if (code == p.paused) code = p.running;
    }
    // Warnings stay (a ribbon is still near its end); errors are gone.
    const bool keep = code == 0 || code == 27 || code == 80;
    SetStatus(keep ? code : 0);
    answering_ = true;
}

} // namespace qavsim
