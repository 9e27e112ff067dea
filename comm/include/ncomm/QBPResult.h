// Result codes of the communication library (NCOMM).
//
// Every operation returns 0 or one of these codes, and most of them also
// leave the code in the calling thread's last-error value (QBPLastError.h).
// The programs of the tool set compare against these numbers; they never
// change.
#pragma once

#include "NcommExport.h"

enum Result : int {
    QBP_OK = 0,

    // -1 ... -18: SNMP error status 1 ... 18 of a binding, negated.
    QBP_ERR_TOOBIG = -1,
    QBP_ERR_NOSUCHNAME = -2,
    QBP_ERR_BADVALUE = -3,
    QBP_ERR_READONLY = -4,
    QBP_ERR_GENERR = -5,
    QBP_ERR_INCONSISTENTNAME = -18,

    QBP_NOT_PROCESSED = -19,      // binding after the failing one
    QBP_INDEX_OUT_OF_RANGE = -30, // list index outside the list / binding missing in response
    QBP_WRONG_TYPE = -31,         // type code not allowed for this Add/Get form
    QBP_BUFFER_TOO_SMALL = -32,
    QBP_OID_NOT_ENCODABLE = -33,  // discovery OID cannot be encoded
    QBP_LIST_FULL = -34,          // binding list already holds 20 bindings

    // -100 ... -107: SNMP library status -1 ... -8 (value - 99).
    QBP_SNMP_ERROR = -100,
    QBP_SNMP_RESOURCE = -101,
    QBP_SNMP_INTERNAL = -102,
    QBP_SNMP_UNSUPPORTED = -103,
    QBP_SNMP_TIMEOUT = -104,
    // -110 ... -123: SNMP library status -10 ... -23 (value - 100).
    QBP_SNMP_INVALID_ADDRESS = -110,
    QBP_SNMP_INVALID_PDU = -111,  // a request that cannot be built, or an answer that does not fit it
    QBP_SNMP_INVALID_OID = -112,
    QBP_SNMP_TL_FAILED = -122,

    QBP_OPEN_FAILED = -130,
    QBP_WRITE_FAILED = -131,
    QBP_READ_FAILED = -132,
    QBP_SOCKET_NOT_WRITABLE = -133,
    QBP_SEND_TIMEOUT = -134,
    QBP_SEND_ZERO = -135,
    QBP_RECV_FAILED = -136,
    QBP_RECV_TIMEOUT = -137,
    QBP_PEER_CLOSED = -138,
    QBP_IOCTL_FAILED = -139,
    QBP_TRAP_ALREADY_STARTED = -140,
    QBP_SEND_RUNNING = -141,
    QBP_ALREADY_OPEN = -142,
    QBP_INVALID_ARGUMENT = -150,
    QBP_NOT_AVAILABLE = -151,
    QBP_NO_MEMORY = -152,
    QBP_NOT_OPEN = -154,
    QBP_SOCKET_STARTUP = -200,
    QBP_SOCKET_CREATE = -201,
    QBP_BROADCAST_OPTION = -203,
    QBP_SEND_REQUEST = -204,
    QBP_CONNECT_FAILED = -205,
    QBP_SEARCH_CANCELLED = -206,

    QBP_SEARCH_RUNNING = 10,      // discovery still running: a status, not an error
};

// A short English description of a result code, for diagnostics and the
// command-line tool ("SNMP time-out", "invalid argument", ...). Never null.
NCOMM_API const char* QBPResultText(int code);

