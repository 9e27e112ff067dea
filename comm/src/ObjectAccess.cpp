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
#include "PrinterCommand.h"
#include "SnmpAnswer.h"
#include "SnmpStatus.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"
#include "qavplatform/Ports.h"

namespace {

constexpr int kGet = ber::kGetRequest;
constexpr int kGetNext = ber::kGetNextRequest;
constexpr int kSet = ber::kSetRequest;

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
    case ber::kOctetString:
    case ber::kOid:
    case ber::kIpAddress: {
        rc = list.Get(index, oidText, sizeof oidText, type, value, sizeof value);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        if (stored == ber::kOctetString) {
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_OCTET_STR, value, std::strlen(value));
        } else if (stored == ber::kOid) {
            oid v[MAX_OID_LEN];
            size_t vLen = 0;
            if (!ncomm::ParseOid(value, v, &vLen)) return ncomm::SNMP_CLASS_INVALID_OID;
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_OBJECT_ID, v, vLen * sizeof(oid));
        } else {
            uint32_t address = 0;
            if (!qavplatform::ParseAddress(value, address)) return ncomm::SNMP_CLASS_INVALID_PDU;
            const uint32_t wire = htonl(address);
            snmp_pdu_add_variable(pdu, name, nameLen, ASN_IPADDRESS, &wire, 4);
        }
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    case ber::kCounter32:
    case ber::kGauge32:
    case ber::kTimeTicks: {
        unsigned int v = 0;
        rc = list.Get(index, oidText, sizeof oidText, type, v);
        if (rc != QBP_OK) return addZeroZero();
        if (!parseName()) return ncomm::SNMP_CLASS_INVALID_OID;
        const u_char asnType = stored == ber::kCounter32 ? ASN_COUNTER
                               : stored == ber::kGauge32 ? ASN_GAUGE
                                                         : ASN_TIMETICKS;
        const u_long lv = v;
        snmp_pdu_add_variable(pdu, name, nameLen, asnType, &lv, sizeof lv);
        return ncomm::SNMP_CLASS_SUCCESS;
    }
    case ber::kCounter64: {
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

} // namespace

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

    uint32_t probe = 0;
    if (!qavplatform::ParseAddress(address_, probe)) return CnvtStatusSnmpToQbp(SNMP_CLASS_INVALID_ADDRESS);

    const char* community = requestType == kSet ? writeCommunity_ : readCommunity_;
    const std::string peer = std::string(address_) + ":" + std::to_string(qavplatform::SnmpAgentPort());

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

    // What was sent, for the check of the answer.
    const std::vector<OidArcs> sent = BindingNames(pdu);
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
    // An answer that does not fit the request fails it and leaves the
    // result list untouched, as a missing answer does.
    const int fit = CheckAnswer(requestType, sent, response);
    if (fit == QBP_OK) CopyPduToVb(result, QBPPdu{response}, 0);
    snmp_free_pdu(response);
    closeSession();
    return fit;
}
