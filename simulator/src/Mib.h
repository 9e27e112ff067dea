// The object store of one simulated printer and the agent logic that
// answers GET, GET-NEXT, GET-BULK and SET on it.
#pragma once

#include <map>
#include <optional>

#include "Ber.h"

namespace qavsim {

class Mib {
public:
    struct Entry {
        Value value;
        bool writable = false;
    };

    void Set(const Oid& oid, Value value, bool writable);
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
