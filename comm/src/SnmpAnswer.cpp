// Received SNMP messages: decoding, the fit of an answer to its request, and
// the conversion of bindings into a binding list (CopyPduToVb).
#include "SnmpAnswer.h"

#include <algorithm>
#include <cstring>

#include "OctetText.h"
#include "SnmpStatus.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"

namespace ncomm {

netsnmp_pdu* DecodeMessage(const unsigned char* data, size_t length)
{
    EnsureNetSnmp();
    netsnmp_session settings;
    snmp_sess_init(&settings);
    netsnmp_pdu* pdu = snmp_pdu_create(0);
    if (!pdu) return nullptr;
    // net-snmp's parser takes a writable buffer; it reads no further than
    // `length`.
    std::vector<unsigned char> copy(data, data + length);
    if (snmp_parse(nullptr, &settings, pdu, copy.data(), copy.size()) != SNMPERR_SUCCESS ||
        (pdu->version != SNMP_VERSION_1 && pdu->version != SNMP_VERSION_2c)) {
        snmp_free_pdu(pdu);
        return nullptr;
    }
    return pdu;
}

std::vector<OidArcs> BindingNames(const netsnmp_pdu* pdu)
{
    std::vector<OidArcs> names;
    for (const netsnmp_variable_list* v = pdu ? pdu->variables : nullptr; v; v = v->next_variable)
        names.emplace_back(v->name, v->name + v->name_length);
    return names;
}

int CheckAnswer(int requestType, const std::vector<OidArcs>& sent, const netsnmp_pdu* answer)
{
    const std::vector<OidArcs> names = BindingNames(answer);
    const long status = answer->errstat;
    const long index = answer->errindex;
    if (status != 0) {
        if (status < 1 || status > 18) return QBP_SNMP_INVALID_PDU;
        if (index < 1 || index > static_cast<long>(names.size())) return CnvtStatusSnmpToQbp(static_cast<int>(status));
    }
    if (names.size() > sent.size()) return QBP_SNMP_INVALID_PDU;
    // An error answer carries the request's bindings back; the status it
    // names is reported on them.
    if (status != 0) return QBP_OK;
    const netsnmp_variable_list* v = answer->variables;
    for (size_t i = 0; i < names.size(); ++i, v = v->next_variable) {
        const OidArcs& name = names[i];
        const OidArcs& asked = sent[i];
        if (requestType == ber::kGetNextRequest) {
            // The following object, or the requested one marked as the end
            // of the agent's objects.
            const int order = snmp_oid_compare(name.data(), name.size(), asked.data(), asked.size());
            if (order < 0 || (order == 0 && v->type != SNMP_ENDOFMIBVIEW)) return QBP_SNMP_INVALID_PDU;
        } else {
            // The requested object itself; lenient agents answer an object
            // named without instance with its instance, which is the same
            // object too.
            const bool same = name.size() >= asked.size() && std::equal(asked.begin(), asked.end(), name.begin());
            if (!same) return QBP_SNMP_INVALID_PDU;
        }
    }
    return QBP_OK;
}

} // namespace ncomm

namespace {

void CopyOneBinding(CQBPVb& list, const std::string& oidText, const netsnmp_variable_list* vb)
{
    const char* name = oidText.c_str();
    switch (vb->type) {
    case ASN_INTEGER:
        list.Add(name, ber::kInteger, static_cast<int>(*vb->val.integer));
        break;
    case ASN_OCTET_STR:
        list.Add(oidText, ber::kOctetString, ncomm::OctetText(vb->val.string, vb->val_len));
        break;
    case ASN_NULL:
        list.Add(name, ber::kNull, "");
        break;
    case ASN_OBJECT_ID:
        list.Add(oidText, ber::kOid, ncomm::OidToText(vb->val.objid, vb->val_len / sizeof(oid)));
        break;
    case ASN_IPADDRESS: {
        uint32_t address = 0; // 0.0.0.0 for a value shorter than four octets
        if (vb->val_len >= 4) {
            const unsigned char* b = vb->val.string;
            address = (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
        }
        list.Add(oidText, ber::kIpAddress, qavplatform::AddressText(address));
        break;
    }
    case ASN_COUNTER:
        list.Add(name, ber::kCounter32, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_GAUGE:
        list.Add(name, ber::kGauge32, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_TIMETICKS:
        list.Add(name, ber::kTimeTicks, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_COUNTER64:
        list.Add(name, ber::kCounter64, static_cast<unsigned int>(vb->val.counter64->low),
                 static_cast<unsigned int>(vb->val.counter64->high));
        break;
    default:
        // Any other syntax (the SNMPv2 exceptions noSuchObject,
        // noSuchInstance, endOfMibView, Opaque, ...) goes through the integer
        // form, which refuses it: the binding is left out of the list.
        list.Add(name, static_cast<int>(vb->type), 0);
        break;
    }
}

} // namespace

void CopyPduToVb(CQBPVb& list, const QBPPdu& message, int skipLast)
{
    list.Remove();
    const netsnmp_pdu* pdu = message.pdu;
    if (!pdu) return;
    int n = 0;
    for (const netsnmp_variable_list* v = pdu->variables; v; v = v->next_variable) ++n;
    if (skipLast == 1) n -= 1;
    const long errorStatus = pdu->errstat;
    const long errorIndex = pdu->errindex;

    const netsnmp_variable_list* vb = pdu->variables;
    for (int i = 0; i < n; ++i, vb = vb ? vb->next_variable : nullptr) {
        if (!vb || !vb->name || vb->name_length == 0) {
            list.Add("0.0", QBP_INDEX_OUT_OF_RANGE, 0);
            continue;
        }
        const std::string oidText = ncomm::OidToText(vb->name, vb->name_length);
        if (errorIndex != 0 && errorIndex == i + 1) {
            list.Add(oidText.c_str(), ncomm::CnvtStatusSnmpToQbp(static_cast<int>(errorStatus)), 0);
        } else if (errorIndex != 0 && i + 1 > errorIndex) {
            list.Add(oidText.c_str(), QBP_NOT_PROCESSED, 0);
        } else {
            CopyOneBinding(list, oidText, vb);
        }
    }
}
