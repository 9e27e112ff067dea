#include "SnmpStatus.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

namespace ncomm {

int SnmppStatus(int stat, int snmpErrno, long errorStatus)
{
    if (stat == STAT_SUCCESS) return errorStatus != 0 ? SNMP_CLASS_ERR_STATUS_SET : SNMP_CLASS_SUCCESS;
    if (stat == STAT_TIMEOUT) return SNMP_CLASS_TIMEOUT;
    switch (snmpErrno) {
    case SNMPERR_TIMEOUT:
        return SNMP_CLASS_TIMEOUT;
    case SNMPERR_BAD_ADDRESS:
        return SNMP_CLASS_INVALID_ADDRESS;
    case SNMPERR_MALLOC:
        return SNMP_CLASS_RESOURCE_UNAVAIL;
    case SNMPERR_BAD_ASN1_BUILD:
    case SNMPERR_TOO_LONG:
    case SNMPERR_NULL_PDU:
    case SNMPERR_NO_VARS:
    case SNMPERR_VAR_TYPE:
    case SNMPERR_VALUE:
        return SNMP_CLASS_INVALID_PDU;
    case SNMPERR_BAD_SUBID:
    case SNMPERR_LONG_OID:
    case SNMPERR_MAX_SUBID:
    case SNMPERR_BAD_NAME:
    case SNMPERR_UNKNOWN_OBJID:
        return SNMP_CLASS_INVALID_OID;
    case SNMPERR_BAD_VERSION:
    case SNMPERR_BAD_COMMUNITY:
    case SNMPERR_BAD_SESSION:
        return SNMP_CLASS_INVALID_TARGET;
    case SNMPERR_BAD_LOCPORT:
    case SNMPERR_NO_SOCKET:
    case SNMPERR_BAD_SENDTO:
    case SNMPERR_BAD_RECVFROM:
    case SNMPERR_TRANSPORT_NO_CONFIG:
    case SNMPERR_TRANSPORT_CONFIG_ERROR:
        return SNMP_CLASS_TL_FAILED;
    default:
        return SNMP_CLASS_ERROR;
    }
}

int CnvtStatusSnmpToQbp(int status)
{
    if (status >= 1 && status <= 18) return -status;
    if (status <= -1 && status >= -8) return status - 99;
    if (status <= -10 && status >= -23) return status - 100;
    return 0;
}

} // namespace ncomm
