#include "ncomm/QBPResult.h"

const char* QBPResultText(int code)
{
    if (code <= -1 && code >= -18) {
        static const char* const kSnmpErrors[] = {
            "tooBig", "noSuchName", "badValue", "readOnly", "genErr", "noAccess", "wrongType", "wrongLength",
            "wrongEncoding", "wrongValue", "noCreation", "inconsistentValue", "resourceUnavailable",
            "commitFailed", "undoFailed", "authorizationError", "notWritable", "inconsistentName"};
        return kSnmpErrors[-code - 1];
    }
    switch (code) {
    case QBP_OK: return "success";
    case QBP_NOT_PROCESSED: return "binding not processed";
    case QBP_INDEX_OUT_OF_RANGE: return "index outside the list or binding missing";
    case QBP_WRONG_TYPE: return "type code not allowed";
    case QBP_BUFFER_TOO_SMALL: return "buffer too small";
    case QBP_OID_NOT_ENCODABLE: return "OID cannot be encoded";
    case QBP_LIST_FULL: return "binding list full";
    case QBP_SNMP_TIMEOUT: return "SNMP time-out: no answer";
    case QBP_SNMP_INVALID_ADDRESS: return "SNMP: invalid address";
    case QBP_SNMP_INVALID_PDU: return "SNMP: invalid message (a request that cannot be built, or an answer that does not fit it)";
    case QBP_SNMP_INVALID_OID: return "SNMP: invalid OID";
    case QBP_SNMP_TL_FAILED: return "SNMP: transport failed";
    case QBP_OPEN_FAILED: return "port or device could not be opened";
    case QBP_WRITE_FAILED: return "write to the port failed";
    case QBP_READ_FAILED: return "read failed or reply malformed";
    case QBP_SOCKET_NOT_WRITABLE: return "socket not writable";
    case QBP_SEND_TIMEOUT: return "socket not writable within 60 s";
    case QBP_SEND_ZERO: return "socket accepted 0 bytes";
    case QBP_RECV_FAILED: return "receive failed";
    case QBP_RECV_TIMEOUT: return "no data within the receive time-out";
    case QBP_PEER_CLOSED: return "peer closed the connection";
    case QBP_IOCTL_FAILED: return "device control request failed";
    case QBP_TRAP_ALREADY_STARTED: return "trap reception already started";
    case QBP_SEND_RUNNING: return "background send still running";
    case QBP_ALREADY_OPEN: return "session already open";
    case QBP_INVALID_ARGUMENT: return "invalid argument";
    case QBP_NOT_AVAILABLE: return "not available on this session";
    case QBP_NO_MEMORY: return "out of memory";
    case QBP_NOT_OPEN: return "session not open";
    case QBP_SOCKET_STARTUP: return "socket layer could not be started";
    case QBP_SOCKET_CREATE: return "socket could not be created";
    case QBP_BROADCAST_OPTION: return "broadcast option could not be set";
    case QBP_SEND_REQUEST: return "discovery request could not be sent";
    case QBP_CONNECT_FAILED: return "TCP/IP connection failed";
    case QBP_SEARCH_CANCELLED: return "discovery cancelled";
    case QBP_SEARCH_RUNNING: return "discovery running";
    default: break;
    }
    if (code <= -100 && code >= -123) return "SNMP library error";
    return "unknown result code";
}
