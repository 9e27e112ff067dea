// Status numbers between the SNMP engine and the library's result codes.
//
// The library's callers rely on the SNMP++ status numbers that the result
// codes -100..-123 are made from (time-out is -5, so -104). The SNMP engine
// underneath is net-snmp; SnmppStatus() is the one place where its outcomes
// become those numbers, and CnvtStatusSnmpToQbp() turns them (and SNMP
// error statuses 1..18) into result codes.
#pragma once

namespace ncomm {

// SNMP++ status numbers the library produces.
enum SnmppStatus : int {
    SNMP_CLASS_SUCCESS = 0,
    SNMP_CLASS_ERROR = -1,
    SNMP_CLASS_RESOURCE_UNAVAIL = -2,
    SNMP_CLASS_INTERNAL_ERROR = -3,
    SNMP_CLASS_UNSUPPORTED = -4,
    SNMP_CLASS_TIMEOUT = -5,
    SNMP_CLASS_INVALID_ADDRESS = -10,
    SNMP_CLASS_INVALID_PDU = -11,
    SNMP_CLASS_INVALID_OID = -12,
    SNMP_CLASS_INVALID_TARGET = -13,
    SNMP_CLASS_ERR_STATUS_SET = -19, // the answer carries an SNMP error status
    SNMP_CLASS_TL_UNSUPPORTED = -20,
    SNMP_CLASS_TL_IN_USE = -21,
    SNMP_CLASS_TL_FAILED = -22,
};

// The SNMP++ status for a net-snmp outcome: `stat` is the STAT_* value of a
// synchronous request (or 1, STAT_ERROR, for a failure outside a request),
// `snmpErrno` net-snmp's SNMPERR_* detail of a failure, and `errorStatus`
// the error-status field of the answer when one arrived.
int SnmppStatus(int stat, int snmpErrno, long errorStatus);

// SNMP error status 1..18 -> -1..-18; SNMP++ -1..-8 -> -100..-107;
// -10..-23 -> -110..-123; anything else -> 0.
int CnvtStatusSnmpToQbp(int status);

} // namespace ncomm
