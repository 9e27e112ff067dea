// Received traps and informs in one form: sender, notification OID,
// enterprise and bindings, and their generic and specific codes.
#include "TrapDecode.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "qavplatform/Address.h"

namespace ncomm {

namespace {

const oid kSysUpTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const oid kSnmpTrapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const oid kSnmpTrapEnterprise0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};

bool NameIs(const netsnmp_variable_list* v, const oid* name, size_t length)
{
    return v && v->name_length == length && std::memcmp(v->name, name, length * sizeof(oid)) == 0;
}

std::string SenderText(const netsnmp_pdu* pdu)
{
    // The transport data of a UDP message holds the sender's address
    // first; only the address is kept, so that it compares with the text a
    // session was opened with.
    if (pdu->transport_data && pdu->transport_data_length >= static_cast<int>(sizeof(sockaddr_in))) {
        const auto* sa = static_cast<const sockaddr_in*>(pdu->transport_data);
        if (sa->sin_family == AF_INET) return qavplatform::AddressText(ntohl(sa->sin_addr.s_addr));
    }
    if (pdu->command == SNMP_MSG_TRAP) {
        const unsigned char* b = pdu->agent_addr;
        return qavplatform::AddressText((uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
    }
    return std::string();
}

} // namespace

void ClassifyTrap(const std::string& trapOid, int& generic, int& specific)
{
    static const char* const kStandard[] = {"1.3.6.1.6.3.1.1.5.1", "1.3.6.1.6.3.1.1.5.2", "1.3.6.1.6.3.1.1.5.3",
                                            "1.3.6.1.6.3.1.1.5.4", "1.3.6.1.6.3.1.1.5.5", "1.3.6.1.6.3.1.1.5.6"};
    for (int g = 0; g < 6; ++g) {
        if (trapOid == kStandard[g]) {
            generic = g;
            specific = 0;
            return;
        }
    }
    if (trapOid == "1.3.6.1.6.3.1.1.5.8") {
        generic = 7;
        specific = 99;
        return;
    }
    const size_t dot = trapOid.rfind('.');
    specific = static_cast<int>(std::strtoul(trapOid.c_str() + (dot == std::string::npos ? 0 : dot + 1), nullptr, 10));
    generic = specific == 99 ? 7 : 6;
}

bool DecodeTrap(const netsnmp_pdu* pdu, TrapMessage& n)
{
    n.sender = SenderText(pdu);
    netsnmp_pdu* copy = snmp_clone_pdu(const_cast<netsnmp_pdu*>(pdu));
    if (!copy) return false;
    copy->errstat = 0;
    copy->errindex = 0;
    if (pdu->command == SNMP_MSG_TRAP) {
        n.enterprise = OidToText(pdu->enterprise, pdu->enterprise_length);
        if (pdu->trap_type >= 0 && pdu->trap_type <= 5) {
            n.trapOid = "1.3.6.1.6.3.1.1.5." + std::to_string(pdu->trap_type + 1);
        } else {
            n.trapOid = n.enterprise + ".0." + std::to_string(pdu->specific_type);
        }
        if (!n.enterprise.empty()) {
            oid ent[MAX_OID_LEN];
            const size_t len = std::min<size_t>(pdu->enterprise_length, MAX_OID_LEN);
            std::memcpy(ent, pdu->enterprise, len * sizeof(oid));
            snmp_pdu_add_variable(copy, kSnmpTrapEnterprise0, 11, ASN_OBJECT_ID, ent, len * sizeof(oid));
        }
    } else {
        // sysUpTime.0 and snmpTrapOID.0 lead a version-2c notification; they
        // become the time stamp and the notification OID, not bindings.
        netsnmp_variable_list* v = copy->variables;
        if (NameIs(v, kSysUpTime0, 9)) v = v->next_variable;
        if (!NameIs(v, kSnmpTrapOid0, 11) || v->type != ASN_OBJECT_ID) {
            snmp_free_pdu(copy);
            return false;
        }
        n.trapOid = OidToText(v->val.objid, v->val_len / sizeof(oid));
        netsnmp_variable_list* rest = v->next_variable;
        v->next_variable = nullptr;
        snmp_free_varbind(copy->variables);
        copy->variables = rest;
        netsnmp_variable_list* last = rest;
        while (last && last->next_variable) last = last->next_variable;
        if (NameIs(last, kSnmpTrapEnterprise0, 11) && last->type == ASN_OBJECT_ID)
            n.enterprise = OidToText(last->val.objid, last->val_len / sizeof(oid));
    }
    if (n.enterprise.size() > 255) n.enterprise.resize(255);
    if (n.sender.size() > 255) n.sender.resize(255);
    n.bindings = copy;
    return true;
}

} // namespace ncomm
