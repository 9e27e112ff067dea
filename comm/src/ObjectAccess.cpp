// GetObject, GetNextObject and SetObject: over SNMP, with the conversions
// between binding lists and SNMP messages, or as printer commands over the
// other ports.
#include <arpa/inet.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "NetSnmp.h"
#include "OctetText.h"
#include "PrinterCommand.h"
#include "SnmpStatus.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"

namespace {

constexpr int kGet = 0xA0;
constexpr int kGetNext = 0xA1;
constexpr int kSet = 0xA3;

// SNMP++'s defaults: one second, one retry.
constexpr long kTimeoutMicros = 1000000;
constexpr int kRetries = 1;

const oid kZeroZero[] = {0, 0};

// Appends one binding of the request list to the message (CopyVbToPdu).
// Returns an SNMP++ status: 0, or the reason the message cannot be built.
int AppendBinding(netsnmp_pdu* pdu, const CQBPVb& list, int index)
{
    char oidText[256];
    char value[256];
    oid name[MAX_OID_LEN];
    size_t nameLen = 0;
    const int stored = list.GetType(index);
    int type = 0;
    int rc;

    auto parseName = [&]() { return ncomm::ParseOid(oidText, name, &nameLen); };
    auto addZeroZero = [&]() {
        snmp_add_null_var(pdu, kZeroZero, 2);
        return static_cast<int>(ncomm::SNMP_CLASS_SUCCESS);
    };

    switch (stored) {
    case 4:
    case 6:
    case 64: {
        rc = list.Get(index, oidText, sizeof oidText, type, value, sizeof value);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        if (stored == 4) {
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_OCTET_STR, value, std::strlen(value));
        } else if (stored == 6) {
            oid v[MAX_OID_LEN];
            size_t vLen = 0;
            if (!ncomm::ParseOid(value, v, &vLen)) return ncomm::SNMP_CLASS_INVALID_OID;
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_OBJECT_ID, v, vLen * sizeof(oid));
        } else {
            in_addr a{};
            if (::inet_pton(AF_INET, value, &a) != 1) return ncomm::SNMP_CLASS_INVALID_PDU;
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_IPADDRESS, &a.s_addr, 4);
        }
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    case 65:
    case 66:
    case 67: {
        unsigned int v = 0;
        rc = list.Get(index, oidText, sizeof oidText, type, v);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        const u_char asnType = stored == 65 ? ASN_COUNTER : stored == 66 ? ASN_GAUGE : ASN_TIMETICKS;
        const u_long lv = v;
        snmp_pdu_add_variable(pdu, name, nameLen, asnType, &lv, sizeof lv);
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    case 70: {
        unsigned int low = 0, high = 0;
        rc = list.Get(index, oidText, sizeof oidText, type, low, high);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        counter64 c{};
        c.high = high;
        c.low = low;
        snmp_pdu_add_variable(pdu, name, nameLen, ASN_COUNTER64, &c, sizeof c);
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    default: {
        // INTEGER of the signed value; NULL (type 5) goes out as INTEGER 0.
        // A negative type fails the Get and goes out as 0.0 without value.
        int v = 0;
        rc = list.Get(index, oidText, sizeof oidText, type, v);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        const long lv = v;
        snmp_pdu_add_variable(pdu, name, nameLen, ASN_INTEGER, &lv, sizeof lv);
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    }
}

void CopyOneBinding(CQBPVb& list, const std::string& oidText, const netsnmp_variable_list* vb)
{
    switch (vb->type) {
    case ASN_INTEGER:
        list.Add(oidText.c_str(), 2, static_cast<int>(*vb->val.integer));
        break;
    case ASN_OCTET_STR:
        list.Add(oidText, 4, ncomm::OctetText(vb->val.string, vb->val_len));
        break;
    case ASN_NULL:
        list.Add(oidText.c_str(), 5, "");
        break;
    case ASN_OBJECT_ID:
        list.Add(oidText, 6, ncomm::OidToText(vb->val.objid, vb->val_len / sizeof(oid)));
        break;
    case ASN_IPADDRESS: {
        char text[16] = "0.0.0.0";
        if (vb->val_len >= 4) {
            const unsigned char* b = vb->val.string;
            std::snprintf(text, sizeof text, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
        }
        list.Add(oidText.c_str(), 64, text);
        break;
    }
    case ASN_COUNTER:
        list.Add(oidText.c_str(), 65, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_GAUGE:
        list.Add(oidText.c_str(), 66, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_TIMETICKS:
        list.Add(oidText.c_str(), 67, static_cast<unsigned int>(*vb->val.integer), 0u);
        break;
    case ASN_COUNTER64: {
        list.Add(oidText.c_str(), 70, static_cast<unsigned int>(vb->val.counter64->low),
                 static_cast<unsigned int>(vb->val.counter64->high));
        break;
    }
    default:
        // Any other syntax (the SNMPv2 exceptions noSuchObject,
        // noSuchInstance, endOfMibView, Opaque, ...) goes through the integer
        // form, which refuses it: the binding is left out of the list.
        list.Add(oidText.c_str(), static_cast<int>(vb->type), 0);
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

int CQBPTrans::GetObject(CQBPVb request, CQBPVb& result) { return ObjectOperation(kGet, request, result); }
int CQBPTrans::GetNextObject(CQBPVb request, CQBPVb& result) { return ObjectOperation(kGetNext, request, result); }
int CQBPTrans::SetObject(CQBPVb request, CQBPVb& result) { return ObjectOperation(kSet, request, result); }

int CQBPTrans::ObjectOperation(int requestType, const CQBPVb& request, CQBPVb& result)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    lastSystemError_ = 0;
    int rc;
    switch (kind_) {
    case kSnmp:
        rc = SnmpRequest(requestType, request, result);
        break;
    case kTcpIp:
    case kCom:
    case kUsb:
        rc = requestType == kGetNext ? QBP_NOT_AVAILABLE : DeviceRequest(requestType, request, result);
        break;
    case kLpt:
        rc = requestType == kSet ? DeviceRequest(requestType, request, result) : QBP_NOT_AVAILABLE;
        break;
    default:
        rc = QBP_NOT_AVAILABLE;
        break;
    }
    return rc != QBP_OK ? Fail(rc) : QBP_OK;
}

int CQBPTrans::SnmpRequest(int requestType, const CQBPVb& request, CQBPVb& result)
{
    using namespace ncomm;
    EnsureNetSnmp();

    in_addr probe{};
    if (::inet_pton(AF_INET, address_, &probe) != 1) return CnvtStatusSnmpToQbp(SNMP_CLASS_INVALID_ADDRESS);

    const char* community = requestType == kSet ? writeCommunity_ : readCommunity_;
    const std::string peer = std::string(address_) + ":" + std::to_string(SnmpAgentPort());

    netsnmp_session settings;
    void* session = nullptr;
    netsnmp_pdu* pdu = nullptr;
    {
        std::lock_guard<std::mutex> lock(NetSnmpLock());
        snmp_sess_init(&settings);
        settings.peername = const_cast<char*>(peer.c_str());
        settings.version = snmpVersion_ == 1 ? SNMP_VERSION_1 : SNMP_VERSION_2c;
        settings.community = reinterpret_cast<u_char*>(const_cast<char*>(community));
        settings.community_len = std::strlen(community);
        settings.timeout = kTimeoutMicros;
        settings.retries = kRetries;
        session = snmp_sess_open(&settings);
        if (!session) return CnvtStatusSnmpToQbp(SnmppStatus(STAT_ERROR, settings.s_snmp_errno, 0));
        pdu = snmp_pdu_create(requestType);
    }
    auto closeSession = [&] {
        std::lock_guard<std::mutex> lock(NetSnmpLock());
        snmp_sess_close(session);
    };
    if (!pdu) {
        closeSession();
        return CnvtStatusSnmpToQbp(SNMP_CLASS_RESOURCE_UNAVAIL);
    }
    for (int i = 0; i < request.GetSize(); ++i) {
        const int st = AppendBinding(pdu, request, i);
        if (st != SNMP_CLASS_SUCCESS) {
            snmp_free_pdu(pdu);
            closeSession();
            return CnvtStatusSnmpToQbp(st);
        }
    }

    netsnmp_pdu* response = nullptr;
    const int stat = snmp_sess_synch_response(session, pdu, &response); // frees pdu
    int snmpErrno = 0;
    if (stat != STAT_SUCCESS) {
        int sysErr = 0;
        char* detail = nullptr;
        snmp_sess_error(session, &sysErr, &snmpErrno, &detail);
        free(detail);
    }
    const int status = SnmppStatus(stat, snmpErrno, response ? response->errstat : 0);
    if (status != SNMP_CLASS_SUCCESS && status != SNMP_CLASS_ERR_STATUS_SET) {
        if (response) snmp_free_pdu(response);
        closeSession();
        return CnvtStatusSnmpToQbp(status);
    }
    CopyPduToVb(result, QBPPdu{response}, 0);
    snmp_free_pdu(response);
    closeSession();
    return QBP_OK;
}
