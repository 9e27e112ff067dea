// The object store of one simulated printer and the agent logic that
// answers GET, GET-NEXT, GET-BULK and SET on it.
#pragma once

#include <map>
#include <optional>

#include "Ber.h"

namespace qavsim {

// The values a writable object takes; a SET outside them answers badValue.
struct Range {
    enum Kind : uint8_t {
        kAny,       // any value of the object's type
        kNumber,    // an integer between low and high
        kLength,    // a text of low to high characters
        kHexLength, // a text of low to high hexadecimal digits
        kLoopback,  // an address of 127.0.0.0/8
    };
    Kind kind = kAny;
    int64_t low = 0;
    int64_t high = 0;

    bool Accepts(const Value& value) const;
};

class Mib {
public:
    struct Entry {
        Value value;
        bool writable = false;
        Range range;
    };

    // Sets an entry's value and writability; a range given before stays.
    void Set(const Oid& oid, Value value, bool writable);
    // Limits the values a SET may give the entry.
    void Limit(const Oid& oid, Range range);
    // Changes the value of an existing entry (or creates a read-only one).
    void Update(const Oid& oid, Value value);
    const Entry* Find(const Oid& oid) const;
    // The first entry strictly after oid.
    std::optional<std::pair<Oid, Entry>> Next(const Oid& oid) const;
    // The first entry whose OID has oid as a proper prefix (an object's
    // first instance when oid names the object without instance).
    std::optional<std::pair<Oid, Entry>> FirstUnder(const Oid& oid) const;
    size_t Size() const { return entries_.size(); }
    const std::map<Oid, Entry>& Entries() const { return entries_; }

private:
    std::map<Oid, Entry> entries_;
};

struct AgentPolicy {
    std::string readCommunity = "kestra";
    std::string writeCommunity = "kestra";
    // A lenient agent answers a GET of an object without instance with the
    // object's first instance; strict ones (every standard agent, and the
    // simulator's printers unless the fleet asks otherwise) answer
    // noSuchName (version 1) or noSuchInstance / noSuchObject (2c).
    bool lenientGet = false;
};

// Answers one request. Nothing when the request is not for this agent
// (wrong community, not a request); otherwise the response message.
// `changed` receives the OIDs written by a successful SET.
std::optional<Message> Answer(Mib& mib, const AgentPolicy& policy, const Message& request,
                              std::vector<Oid>* changed = nullptr);

} // namespace qavsim
