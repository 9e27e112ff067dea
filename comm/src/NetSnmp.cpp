#include "NetSnmp.h"

#include <cstring>

namespace ncomm {

void EnsureNetSnmp()
{
    static std::once_flag once;
    std::call_once(once, [] {
        std::lock_guard<std::mutex> lock(NetSnmpLock());
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        snmp_disable_log();
        // Only the transports are needed: the library never resolves names
        // through MIB files, so init_snmp() and its MIB loading are skipped.
        netsnmp_tdomain_init();
    });
}

std::mutex& NetSnmpLock()
{
    static std::mutex lock;
    return lock;
}

bool ParseOid(const char* text, oid* out, size_t* length)
{
    if (!text || !*text) return false;
    size_t n = 0;
    const char* p = text;
    if (*p == '.') ++p; // a leading dot is accepted, as SNMP++ does
    while (*p) {
        if (*p < '0' || *p > '9') return false;
        unsigned long long arc = 0;
        while (*p >= '0' && *p <= '9') {
            arc = arc * 10 + static_cast<unsigned>(*p - '0');
            if (arc > 0xFFFFFFFFull) return false;
            ++p;
        }
        if (n >= MAX_OID_LEN) return false;
        out[n++] = static_cast<oid>(arc);
        if (*p == '.') {
            ++p;
            if (!*p) return false;
        } else if (*p) {
            return false;
        }
    }
    if (n < 2) return false;
    *length = n;
    return true;
}

std::string OidToText(const oid* name, size_t length)
{
    std::string text;
    text.reserve(length * 4);
    for (size_t i = 0; i < length; ++i) {
        if (i) text += '.';
        text += std::to_string(static_cast<unsigned long>(name[i]));
    }
    return text;
}

} // namespace ncomm
