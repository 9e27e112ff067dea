// Trap reception: one receiver per process on the trap port, handing every
// trap either to one callback (all traps) or to the session of the sending
// printer (per-session traps).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "NetSnmp.h"
#include "SnmpStatus.h"
#include "TrapState.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Ports.h"

namespace {

const oid kSysUpTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};
const oid kSnmpTrapOid0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const oid kSnmpTrapEnterprise0[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 3, 0};

bool NameIs(const netsnmp_variable_list* v, const oid* name, size_t length)
{
    return v && v->name_length == length && std::memcmp(v->name, name, length * sizeof(oid)) == 0;
}

// The process-wide receiver.
struct TrapReceiver {
    std::mutex mutex;          // mode, sessions, callback
    int mode = 0;              // 0 none, 1 per session, 2 all traps
    std::vector<CQBPTrans*> sessions;
    CQBPTrans::TrapCallback callback = nullptr;
    void* userData = nullptr;
    CQBPTrans* allTrapsOwner = nullptr;

    void* session = nullptr; // net-snmp server session on the trap port
    std::thread thread;
    std::thread::id threadId;
    std::atomic<bool> stop{false};
};

TrapReceiver& Receiver()
{
    static TrapReceiver r;
    return r;
}

// A received trap as the receiving functions see it.
struct Notification {
    std::string sender;     // "a.b.c.d"
    std::string trapOid;    // notification OID, dotted
    std::string enterprise; // dotted, or empty
    netsnmp_pdu* bindings = nullptr; // a message whose bindings are the trap's, ending in the enterprise binding when there is one
};

void Classify(const std::string& trapOid, int& generic, int& specific)
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

std::string SenderText(const netsnmp_pdu* pdu)
{
    // The transport data of a UDP message holds the sender's address
    // first; only the address is kept, so that it compares with the text a
    // session was opened with.
    if (pdu->transport_data && pdu->transport_data_length >= static_cast<int>(sizeof(sockaddr_in))) {
        const auto* sa = static_cast<const sockaddr_in*>(pdu->transport_data);
        if (sa->sin_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &sa->sin_addr, text, sizeof text);
            return text;
        }
    }
    if (pdu->command == SNMP_MSG_TRAP) {
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, pdu->agent_addr, text, sizeof text);
        return text;
    }
    return std::string();
}

// Brings a received version-1 or version-2c trap into one form: the
// notification OID, the enterprise, and a message holding the trap's own
// bindings followed by the enterprise binding when there is an enterprise.
bool Normalise(const netsnmp_pdu* pdu, Notification& n)
{
    n.sender = SenderText(pdu);
    netsnmp_pdu* copy = snmp_clone_pdu(const_cast<netsnmp_pdu*>(pdu));
    if (!copy) return false;
    copy->errstat = 0;
    copy->errindex = 0;
    if (pdu->command == SNMP_MSG_TRAP) {
        n.enterprise = ncomm::OidToText(pdu->enterprise, pdu->enterprise_length);
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
        n.trapOid = ncomm::OidToText(v->val.objid, v->val_len / sizeof(oid));
        netsnmp_variable_list* rest = v->next_variable;
        v->next_variable = nullptr;
        snmp_free_varbind(copy->variables);
        copy->variables = rest;
        netsnmp_variable_list* last = rest;
        while (last && last->next_variable) last = last->next_variable;
        if (NameIs(last, kSnmpTrapEnterprise0, 11) && last->type == ASN_OBJECT_ID)
            n.enterprise = ncomm::OidToText(last->val.objid, last->val_len / sizeof(oid));
    }
    if (n.enterprise.size() > 255) n.enterprise.resize(255);
    if (n.sender.size() > 255) n.sender.resize(255);
    n.bindings = copy;
    return true;
}

void Deliver(const netsnmp_pdu* pdu)
{
    TrapReceiver& r = Receiver();
    Notification n;
    if (!Normalise(pdu, n)) return;
    int generic = 0, specific = 0;
    Classify(n.trapOid, generic, specific);
    const int skipLast = n.enterprise.empty() ? 0 : 1;

    std::unique_lock<std::mutex> lock(r.mutex);
    if (r.mode == 2 && r.callback) {
        const CQBPTrans::TrapCallback callback = r.callback;
        void* userData = r.userData;
        lock.unlock(); // the callback may use the library itself
        CQBPVb list;
        CopyPduToVb(list, QBPPdu{n.bindings}, skipLast);
        char enterprise[256];
        std::strncpy(enterprise, n.enterprise.c_str(), sizeof enterprise - 1);
        enterprise[sizeof enterprise - 1] = '\0';
        callback(0, n.sender.c_str(), generic, specific, enterprise, list, userData);
    } else if (r.mode == 1) {
        for (CQBPTrans* s : r.sessions) {
            if (n.sender == s->GetAddress()) {
                s->SetTrapMsg(generic, specific, n.enterprise, QBPPdu{n.bindings});
                break;
            }
        }
    }
    snmp_free_pdu(n.bindings);
}

int OnMessage(int operation, netsnmp_session* session, int, netsnmp_pdu* pdu, void*)
{
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu) return 1;
    if (pdu->command == SNMP_MSG_INFORM) {
        // An inform is acknowledged, then handled like a trap.
        netsnmp_pdu* reply = snmp_clone_pdu(pdu);
        if (reply) {
            reply->command = SNMP_MSG_RESPONSE;
            reply->errstat = 0;
            reply->errindex = 0;
            void* sess = snmp_sess_pointer(session);
            if (!sess || !snmp_sess_send(sess, reply)) snmp_free_pdu(reply);
        }
    }
    if (pdu->command == SNMP_MSG_TRAP || pdu->command == SNMP_MSG_TRAP2 || pdu->command == SNMP_MSG_INFORM) Deliver(pdu);
    return 1;
}

void ReceiveLoop()
{
    TrapReceiver& r = Receiver();
    while (!r.stop.load()) {
        fd_set fds;
        FD_ZERO(&fds);
        int maxFd = 0, block = 0;
        timeval tv{0, 100000};
        snmp_sess_select_info(r.session, &maxFd, &fds, &tv, &block);
        timeval slice{0, 100000}; // look at the stop flag ten times a second
        const int n = ::select(maxFd, &fds, nullptr, nullptr, &slice);
        if (n > 0) snmp_sess_read(r.session, &fds);
    }
}

// Creates the receiver on the trap port; an SNMP++ status on failure.
int OpenReceiver()
{
    TrapReceiver& r = Receiver();
    ncomm::EnsureNetSnmp();
    const std::string where = "udp:0.0.0.0:" + std::to_string(qavplatform::TrapPort());
    std::lock_guard<std::mutex> lock(ncomm::NetSnmpLock());
    errno = 0;
    netsnmp_transport* transport = netsnmp_transport_open_server("snmptrap", where.c_str());
    if (!transport) return errno == EADDRINUSE ? ncomm::SNMP_CLASS_TL_IN_USE : ncomm::SNMP_CLASS_TL_FAILED;
    // A whole fleet reporting one event sends its traps in one burst, faster
    // than the receiving thread takes them; the system's default receive
    // buffer holds about 250 of them and drops the rest. Room for several
    // thousand (beyond the system's limit where the process may, else up to it).
    const int room = 8 * 1024 * 1024;
    if (::setsockopt(transport->sock, SOL_SOCKET, SO_RCVBUFFORCE, &room, sizeof room) != 0)
        ::setsockopt(transport->sock, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.callback = OnMessage;
    settings.isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
    r.session = snmp_sess_add(&settings, transport, nullptr, nullptr);
    if (!r.session) return ncomm::SNMP_CLASS_TL_FAILED;
    r.stop = false;
    r.thread = std::thread(ReceiveLoop);
    r.threadId = r.thread.get_id();
    return ncomm::SNMP_CLASS_SUCCESS;
}

// Stops and destroys the receiver. Called with the receiver's mutex free.
void CloseReceiver()
{
    TrapReceiver& r = Receiver();
    if (!r.session) return;
    r.stop = true;
    if (r.thread.joinable()) {
        if (std::this_thread::get_id() == r.threadId) {
            r.thread.detach(); // closed from inside a callback: the loop ends by itself
        } else {
            r.thread.join();
        }
    }
    std::lock_guard<std::mutex> lock(ncomm::NetSnmpLock());
    snmp_sess_close(r.session);
    r.session = nullptr;
}

} // namespace

int CQBPTrans::StartAllTrap(TrapCallback callback, void* userData)
{
    TrapReceiver& r = Receiver();
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        if (r.mode != 0) {
            QBPSetLastError(QBP_TRAP_ALREADY_STARTED);
            return QBP_TRAP_ALREADY_STARTED;
        }
        r.mode = 2;
        r.sessions.clear();
    }
    const int status = OpenReceiver();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (status != ncomm::SNMP_CLASS_SUCCESS) {
        // A failed start leaves no receiver behind, so a later start can
        // try again.
        r.mode = 0;
        const int rc = ncomm::CnvtStatusSnmpToQbp(status);
        QBPSetLastError(rc);
        return rc;
    }
    r.callback = callback;
    r.userData = userData;
    r.allTrapsOwner = this;
    allTrapsFlag_ = 1;
    return QBP_OK;
}

int CQBPTrans::StartTrap(CQBPEvent* event)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    if (kind_ != kSnmp) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    lastSystemError_ = 0;
    TrapReceiver& r = Receiver();
    std::unique_lock<std::mutex> lock(r.mutex);
    if (r.mode == 2 || trapQueue_) {
        QBPSetLastError(QBP_TRAP_ALREADY_STARTED);
        return QBP_TRAP_ALREADY_STARTED;
    }
    if (r.mode == 0) {
        r.mode = 1;
        r.sessions.clear();
        lock.unlock();
        const int status = OpenReceiver();
        lock.lock();
        if (status != ncomm::SNMP_CLASS_SUCCESS) {
            r.mode = 0;
            const int rc = ncomm::CnvtStatusSnmpToQbp(status);
            QBPSetLastError(rc);
            return rc;
        }
    }
    trapEvent_ = event;
    trapQueue_ = std::make_unique<QBPTrapQueue>();
    r.sessions.push_back(this);
    return QBP_OK;
}

int CQBPTrans::SetTrapMsg(int generic, int specific, const std::string& enterprise, const QBPPdu& pdu)
{
    if (!trapQueue_) return QBP_NOT_AVAILABLE;
    QBPTrapQueue::Trap trap;
    trap.generic = generic;
    trap.specific = specific;
    trap.enterprise = enterprise;
    CopyPduToVb(trap.bindings, pdu, enterprise.empty() ? 0 : 1);
    {
        std::lock_guard<std::mutex> lock(trapQueue_->mutex);
        if (trapQueue_->waiting.size() >= QBPTrapQueue::kMaxWaiting) {
            ++trapQueue_->dropped;
            return QBP_OK;
        }
        trapQueue_->waiting.push_back(std::move(trap));
    }
    if (trapEvent_) trapEvent_->Set();
    return QBP_OK;
}

int CQBPTrans::GetTrap(int& generic, int& specific, char* enterprise, int size, CQBPVb& bindings)
{
    if (!open_) {
        QBPSetLastError(QBP_NOT_OPEN);
        return QBP_NOT_OPEN;
    }
    // The receiver may be storing a trap meanwhile: the session's list of
    // registered sessions is not touched here, only its own queue.
    QBPTrapQueue* queue = trapQueue_.get();
    if (!queue) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    std::lock_guard<std::mutex> lock(queue->mutex);
    if (queue->waiting.empty()) {
        QBPSetLastError(QBP_NOT_AVAILABLE);
        return QBP_NOT_AVAILABLE;
    }
    QBPTrapQueue::Trap& t = queue->waiting.front();
    generic = t.generic;
    specific = t.specific;
    if (!enterprise || static_cast<int>(t.enterprise.size()) > size - 1) {
        QBPSetLastError(QBP_BUFFER_TOO_SMALL);
        return QBP_BUFFER_TOO_SMALL;
    }
    std::memcpy(enterprise, t.enterprise.c_str(), t.enterprise.size() + 1);
    bindings.Copy(t.bindings);
    queue->waiting.pop_front();
    if (queue->waiting.empty() && trapEvent_) trapEvent_->Reset();
    return QBP_OK;
}

void CQBPTrans::CancelTrap()
{
    if (kind_ != kNone && kind_ != kSnmp) return;
    TrapReceiver& r = Receiver();
    std::unique_lock<std::mutex> lock(r.mutex);
    bool closeReceiver = false;
    if (r.mode == 2 && allTrapsFlag_) {
        r.mode = 0;
        r.callback = nullptr;
        r.userData = nullptr;
        r.allTrapsOwner = nullptr;
        r.sessions.clear();
        allTrapsFlag_ = 0;
        closeReceiver = true;
    } else if (r.mode == 1 && trapQueue_) {
        r.sessions.erase(std::remove(r.sessions.begin(), r.sessions.end(), this), r.sessions.end());
        if (r.sessions.empty()) {
            r.mode = 0;
            closeReceiver = true;
        }
    }
    lock.unlock();
    // The receiver thread is stopped before this session's queue goes away.
    if (closeReceiver) CloseReceiver();
    if (trapQueue_) {
        // A trap being stored right now holds the session list lock no more;
        // taking the queue's lock waits for it to finish.
        std::lock_guard<std::mutex> qlock(trapQueue_->mutex);
    }
    trapQueue_.reset();
    trapEvent_ = nullptr;
}
