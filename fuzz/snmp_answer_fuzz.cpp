// Fuzz target of the SNMP answer decoding: a datagram as an agent's answer
// is decoded, checked against a request and turned into a binding list, as
// GetObject, GetNextObject and SetObject do. For any input:
// - nothing crashes or reads out of bounds;
// - the check gives 0, an SNMP error status -1..-18, or -111;
// - an error-free answer to a GET or SET of exactly its own bindings fits;
// - a list made of a fitting answer holds at most 20 bindings, each with a
//   type code of the list, values readable through their own Get form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "SnmpAnswer.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"

namespace {

bool ValidType(int type)
{
    switch (type) {
    case ber::kInteger:
    case ber::kOctetString:
    case ber::kNull:
    case ber::kOid:
    case ber::kIpAddress:
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks:
    case ber::kCounter64:
        return true;
    default:
        return (type <= -1 && type >= -19) || type == QBP_INDEX_OUT_OF_RANGE;
    }
}

void CheckList(const CQBPVb& list, size_t bindings)
{
    Require(list.GetSize() <= CQBPVb::kMaxBindings);
    Require(static_cast<size_t>(list.GetSize()) <= bindings);
    char oid[4096];
    char value[4096];
    for (int i = 0; i < list.GetSize(); ++i) {
        const int type = list.GetType(i);
        Require(ValidType(type));
        int got = 0;
        if (type == ber::kIpAddress) {
            uint32_t a = 0;
            Require(qavplatform::ParseAddress(list.ValueAt(i), a));
        }
        if (type == ber::kInteger) {
            int v = 0;
            Require(list.Get(i, oid, sizeof oid, got, v) == 0);
        } else if (type == ber::kCounter32 || type == ber::kGauge32 || type == ber::kTimeTicks) {
            unsigned v = 0;
            Require(list.Get(i, oid, sizeof oid, got, v) == 0);
        } else if (type == ber::kCounter64) {
            unsigned low = 0, high = 0;
            Require(list.Get(i, oid, sizeof oid, got, low, high) == 0);
        } else if (type >= 0) {
            const int rc = list.Get(i, oid, sizeof oid, got, value, sizeof value);
            Require(rc == 0 || rc == QBP_BUFFER_TOO_SMALL);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    // The first byte chooses the request: its kind, and whether it asked for
    // the answer's own OIDs or for each of them one arc shorter.
    const int kinds[] = {ber::kGetRequest, ber::kGetNextRequest, ber::kSetRequest};
    const int requestType = kinds[data[0] % 3];
    const bool shorter = data[0] & 0x10;
    netsnmp_pdu* answer = ncomm::DecodeMessage(data + 1, size - 1);
    if (!answer) return 0;
    std::vector<ncomm::OidArcs> sent = ncomm::BindingNames(answer);
    if (shorter) {
        for (auto& name : sent) {
            if (name.size() > 1) name.pop_back();
        }
    }
    const int fit = ncomm::CheckAnswer(requestType, sent, answer);
    Require(fit == QBP_OK || (fit <= -1 && fit >= -18) || fit == QBP_SNMP_INVALID_PDU);
    if (answer->errstat == 0 && requestType != ber::kGetNextRequest) Require(fit == QBP_OK);
    if (fit == QBP_OK) {
        CQBPVb list;
        CopyPduToVb(list, QBPPdu{answer}, 0);
        CheckList(list, sent.size());
        CopyPduToVb(list, QBPPdu{answer}, 1);
        CheckList(list, sent.size());
    }
    snmp_free_pdu(answer);
    return 0;
}
