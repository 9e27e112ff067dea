// Trap reception: one receiver per process on the trap port, handing every
// trap either to one callback (all traps) or to the session of the sending
// printer (per-session traps).
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "NetSnmp.h"
#include "ReceiveBuffer.h"
#include "SnmpStatus.h"
#include "TrapDecode.h"
#include "TrapState.h"
#include "ncomm/CQBPTrans.h"
#include "ncomm/QBPLastError.h"
#include "ncomm/QBPResult.h"
#include "qavplatform/Address.h"
#include "qavplatform/Ports.h"

namespace {

// How long, and how many, informs are remembered to recognise a repeat.
// Senders repeat an unanswered inform after a second or so, a few times.
constexpr auto kInformMemory = std::chrono::seconds(60);
constexpr size_t kInformsRemembered = 256;

// The process-wide receiver.
struct TrapReceiver {
    std::mutex mutex;          // mode, sessions, callback
    int mode = 0;              // 0 none, 1 per session, 2 all traps
    std::vector<CQBPTrans*> sessions;
    CQBPTrans::TrapCallback callback = nullptr;
    void* userData = nullptr;
    CQBPTrans* allTrapsOwner = nullptr;

    void* session = nullptr; // net-snmp server session on the trap port
    // Informs handed over lately (receiving thread only).
    struct SeenInform {
        std::string key; // sender address:port/request id
        std::chrono::steady_clock::time_point at;
    };
    std::deque<SeenInform> recentInforms;
    std::thread thread;
    std::thread::id threadId;
    std::atomic<bool> stop{false};
};

TrapReceiver& Receiver()
{
    static TrapReceiver r;
    return r;
}

void Deliver(const netsnmp_pdu* pdu)
{
    TrapReceiver& r = Receiver();
    ncomm::TrapMessage n;
    if (!ncomm::DecodeTrap(pdu, n)) return;
    int generic = 0, specific = 0;
    ncomm::ClassifyTrap(n.trapOid, generic, specific);
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

// The sender of an inform: the whole transport address, so that two
// programs on one host are told apart.
std::string InformSender(const netsnmp_pdu* pdu)
{
    if (pdu->transport_data && pdu->transport_data_length >= static_cast<int>(sizeof(sockaddr_in))) {
        const auto* sa = static_cast<const sockaddr_in*>(pdu->transport_data);
        if (sa->sin_family == AF_INET)
            return qavplatform::AddressText(ntohl(sa->sin_addr.s_addr)) + ":" + std::to_string(ntohs(sa->sin_port));
    }
    return std::string();
}

// Answers an inform on the receiver's own session: the reply goes back to
// the sender's address and port with the inform's request id and bindings.
void AcknowledgeInform(const netsnmp_pdu* pdu)
{
    TrapReceiver& r = Receiver();
    netsnmp_pdu* reply = snmp_clone_pdu(const_cast<netsnmp_pdu*>(pdu));
    if (!reply) return;
    reply->command = SNMP_MSG_RESPONSE;
    reply->errstat = 0;
    reply->errindex = 0;
    if (!r.session || !snmp_sess_send(r.session, reply)) snmp_free_pdu(reply);
}

// Whether an inform was handled before: a sender whose answer was lost on
// the way sends the same inform (same request id) again. It is answered
// again, but handed over only once.
bool RepeatedInform(const netsnmp_pdu* pdu)
{
    TrapReceiver& r = Receiver();
    const auto now = std::chrono::steady_clock::now();
    while (!r.recentInforms.empty() &&
           (now - r.recentInforms.front().at > kInformMemory || r.recentInforms.size() > kInformsRemembered))
        r.recentInforms.pop_front();
    const std::string key = InformSender(pdu) + "/" + std::to_string(pdu->reqid);
    for (const auto& seen : r.recentInforms) {
        if (seen.key == key) return true;
    }
    r.recentInforms.push_back({key, now});
    return false;
}

int OnMessage(int operation, netsnmp_session*, int, netsnmp_pdu* pdu, void*)
{
    if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE || !pdu) return 1;
    if (pdu->command == SNMP_MSG_INFORM) {
        // An inform is acknowledged, then handled like a trap, once.
        AcknowledgeInform(pdu);
        if (RepeatedInform(pdu)) return 1;
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
    // A whole fleet reporting one event sends its traps in one burst.
    ncomm::EnlargeReceiveBuffer(transport->sock);
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.callback = OnMessage;
    settings.isAuthoritative = SNMP_SESS_UNKNOWNAUTH;
    r.session = snmp_sess_add(&settings, transport, nullptr, nullptr);
    if (!r.session) return ncomm::SNMP_CLASS_TL_FAILED;
    r.recentInforms.clear();
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
