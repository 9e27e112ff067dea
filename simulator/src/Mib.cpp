#include "Mib.h"

#include <algorithm>
#include <cctype>

namespace qavsim {

void Mib::Set(const Oid& oid, Value value, bool writable)
{
    Entry& e = entries_[oid];
    e.value = std::move(value);
    e.writable = writable;
}

void Mib::Limit(const Oid& oid, Range range) { entries_[oid].range = range; }

bool Range::Accepts(const Value& v) const
{
    switch (kind) {
    case kAny: return true;
    case kNumber: return v.number >= low && v.number <= high;
    case kLength: return static_cast<int64_t>(v.bytes.size()) >= low && static_cast<int64_t>(v.bytes.size()) <= high;
    case kHexLength:
        if (static_cast<int64_t>(v.bytes.size()) < low || static_cast<int64_t>(v.bytes.size()) > high) return false;
        for (unsigned char c : v.bytes) {
            if (!std::isxdigit(c)) return false;
        }
        return true;
    case kLoopback: return v.bytes.size() == 4 && static_cast<uint8_t>(v.bytes[0]) == 127;
    }
    return false;
}

void Mib::Update(const Oid& oid, Value value)
{
    auto it = entries_.find(oid);
    if (it == entries_.end()) {
        entries_[oid] = Entry{std::move(value), false, {}};
    } else {
        it->second.value = std::move(value);
    }
}

const Mib::Entry* Mib::Find(const Oid& oid) const
{
    auto it = entries_.find(oid);
    return it == entries_.end() ? nullptr : &it->second;
}

std::optional<std::pair<Oid, Mib::Entry>> Mib::Next(const Oid& oid) const
{
    auto it = entries_.upper_bound(oid);
    if (it == entries_.end()) return std::nullopt;
    return *it;
}

std::optional<std::pair<Oid, Mib::Entry>> Mib::FirstUnder(const Oid& oid) const
{
    auto it = entries_.upper_bound(oid);
    if (it == entries_.end() || !IsPrefix(oid, it->first)) return std::nullopt;
    return *it;
}

namespace {

// SNMP error statuses.
constexpr int kNoSuchName = 2;
constexpr int kBadValue = 3;
constexpr int kWrongType = 7;
constexpr int kNotWritable = 17;

bool SameFamily(uint8_t stored, uint8_t given) { return stored == given; }

Message ResponseTo(const Message& request)
{
    Message r;
    r.version = request.version;
    r.community = request.community;
    r.pduType = kGetResponse;
    r.requestId = request.requestId;
    return r;
}

// An error answer carries the request's bindings unchanged.
Message ErrorAnswer(const Message& request, int status, size_t index)
{
    Message r = ResponseTo(request);
    r.errorStatus = status;
    r.errorIndex = static_cast<int32_t>(index + 1);
    r.varbinds = request.varbinds;
    return r;
}

} // namespace

std::optional<Message> Answer(Mib& mib, const AgentPolicy& policy, const Message& request, std::vector<Oid>* changed)
{
    const bool v1 = request.version == 0;
    const uint8_t type = request.pduType;
    if (type != kGetRequest && type != kGetNextRequest && type != kSetRequest && !(type == kGetBulkRequest && !v1))
        return std::nullopt;
    const bool mayRead = request.community == policy.readCommunity || request.community == policy.writeCommunity;
    const bool mayWrite = request.community == policy.writeCommunity;
    if (type == kSetRequest ? !mayWrite : !mayRead) return std::nullopt;

    Message r = ResponseTo(request);
    if (type == kGetRequest) {
        for (size_t i = 0; i < request.varbinds.size(); ++i) {
            const Oid& name = request.varbinds[i].name;
            if (const Mib::Entry* e = mib.Find(name)) {
                r.varbinds.push_back({name, e->value});
                continue;
            }
            if (policy.lenientGet) {
                if (auto first = mib.FirstUnder(name)) {
                    r.varbinds.push_back({first->first, first->second.value});
                    continue;
                }
            }
            if (v1) return ErrorAnswer(request, kNoSuchName, i);
            const bool objectKnown = mib.FirstUnder(Oid(name.begin(), name.end() - (name.empty() ? 0 : 1))).has_value();
            r.varbinds.push_back({name, Value::Exception(objectKnown ? kNoSuchInstance : kNoSuchObject)});
        }
        return r;
    }
    if (type == kGetNextRequest || type == kGetBulkRequest) {
        size_t nonRepeaters = request.varbinds.size(), repetitions = 1;
        if (type == kGetBulkRequest) {
            nonRepeaters = static_cast<size_t>(std::max(0, request.errorStatus));
            repetitions = static_cast<size_t>(std::clamp(request.errorIndex, 0, 64));
            nonRepeaters = std::min(nonRepeaters, request.varbinds.size());
        }
        for (size_t i = 0; i < request.varbinds.size(); ++i) {
            Oid at = request.varbinds[i].name;
            const size_t rounds = i < nonRepeaters ? 1 : repetitions;
            for (size_t k = 0; k < rounds; ++k) {
                auto next = mib.Next(at);
                if (!next) {
                    if (v1) return ErrorAnswer(request, kNoSuchName, i);
                    r.varbinds.push_back({at, Value::Exception(kEndOfMibView)});
                    break;
                }
                r.varbinds.push_back({next->first, next->second.value});
                at = next->first;
            }
        }
        return r;
    }
    // SET: every binding is checked before any is written.
    for (size_t i = 0; i < request.varbinds.size(); ++i) {
        const VarBind& vb = request.varbinds[i];
        const Mib::Entry* e = mib.Find(vb.name);
        int status = 0;
        if (!e || !e->writable) {
            status = v1 ? kNoSuchName : kNotWritable;
        } else if (!SameFamily(e->value.type, vb.value.type)) {
            status = v1 ? kBadValue : kWrongType;
        } else if (!e->range.Accepts(vb.value)) {
            status = kBadValue;
        }
        if (status) return ErrorAnswer(request, status, i);
    }
    for (const VarBind& vb : request.varbinds) {
        mib.Update(vb.name, vb.value);
        if (changed) changed->push_back(vb.name);
    }
    r.varbinds = request.varbinds;
    return r;
}

} // namespace qavsim
