// One SNMP GET of 20 bindings against net-snmp's snmpd on loopback, through
// CQBPTrans and through net-snmp's C API directly, in the same run.
//
// The raw forms open one session per request as the library does
// (RawNetSnmpSessionPerRequest), and reuse one session for every request
// (RawNetSnmpReusedSession), which bounds what any wrapper could reach.
#include <benchmark/benchmark.h>

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestPeers.h"
#include "ncomm/CQBPTrans.h"

namespace {

std::vector<std::string> Oids()
{
    std::vector<std::string> oids;
    for (int i = 1; i <= 7; ++i) oids.push_back("1.3.6.1.2.1.1." + std::to_string(i) + ".0");
    oids.push_back("1.3.6.1.2.1.2.1.0");
    for (int i : {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13}) oids.push_back("1.3.6.1.2.1.11." + std::to_string(i) + ".0");
    return oids;
}

struct Agent {
    qavtest::SnmpdAgent snmpd;
    std::string address;
    int port = 0;
    bool ok = false;
    Agent()
    {
        port = qavtest::PrepareAgentPort();
        address = qavtest::LoopbackAddress(3);
        ok = snmpd.Start(address, port);
        if (!ok) std::fprintf(stderr, "snmpd did not start:\n%s\n", snmpd.Log().c_str());
    }
};

Agent& TheAgent()
{
    static Agent agent;
    return agent;
}

void CQBPTransGet20(benchmark::State& state)
{
    Agent& agent = TheAgent();
    if (!agent.ok) {
        state.SkipWithError("no agent");
        return;
    }
    CQBPVb request;
    for (const auto& oid : Oids()) request.Add(oid.c_str(), 5, "");
    for (auto _ : state) {
        int rc = 0;
        CQBPTrans t(rc, 2);
        t.Open(0, agent.address.c_str());
        CQBPVb result;
        if (t.GetObject(request, result) != 0 || result.GetSize() != 20) {
            state.SkipWithError("request failed");
            return;
        }
        benchmark::DoNotOptimize(result);
    }
}

netsnmp_pdu* RawPdu(const std::vector<std::vector<oid>>& names)
{
    netsnmp_pdu* pdu = snmp_pdu_create(SNMP_MSG_GET);
    for (const auto& n : names) snmp_add_null_var(pdu, n.data(), n.size());
    return pdu;
}

std::vector<std::vector<oid>> RawNames()
{
    std::vector<std::vector<oid>> names;
    for (const auto& text : Oids()) {
        oid buf[MAX_OID_LEN];
        size_t len = MAX_OID_LEN;
        read_objid(text.c_str(), buf, &len);
        names.emplace_back(buf, buf + len);
    }
    return names;
}

void* OpenRaw(const std::string& peer)
{
    netsnmp_session s;
    snmp_sess_init(&s);
    s.peername = const_cast<char*>(peer.c_str());
    s.version = SNMP_VERSION_2c;
    s.community = reinterpret_cast<u_char*>(const_cast<char*>("kestra"));
    s.community_len = 6;
    s.timeout = 1000000;
    s.retries = 1;
    return snmp_sess_open(&s);
}

// Reads the values out as the library's result list does, so both sides do
// the same work on the answer.
void Consume(netsnmp_pdu* response, benchmark::State& state)
{
    int n = 0;
    char buf[512];
    for (netsnmp_variable_list* v = response->variables; v; v = v->next_variable) {
        snprint_value(buf, sizeof buf, v->name, v->name_length, v);
        ++n;
    }
    if (n != 20) state.SkipWithError("short answer");
}

void RawNetSnmpSessionPerRequest(benchmark::State& state)
{
    Agent& agent = TheAgent();
    if (!agent.ok) {
        state.SkipWithError("no agent");
        return;
    }
    const auto names = RawNames();
    const std::string peer = agent.address + ":" + std::to_string(agent.port);
    for (auto _ : state) {
        void* ss = OpenRaw(peer);
        netsnmp_pdu* response = nullptr;
        if (snmp_sess_synch_response(ss, RawPdu(names), &response) != STAT_SUCCESS) {
            state.SkipWithError("request failed");
            snmp_sess_close(ss);
            return;
        }
        Consume(response, state);
        snmp_free_pdu(response);
        snmp_sess_close(ss);
    }
}

void RawNetSnmpReusedSession(benchmark::State& state)
{
    Agent& agent = TheAgent();
    if (!agent.ok) {
        state.SkipWithError("no agent");
        return;
    }
    const auto names = RawNames();
    const std::string peer = agent.address + ":" + std::to_string(agent.port);
    void* ss = OpenRaw(peer);
    for (auto _ : state) {
        netsnmp_pdu* response = nullptr;
        if (snmp_sess_synch_response(ss, RawPdu(names), &response) != STAT_SUCCESS) {
            state.SkipWithError("request failed");
            break;
        }
        Consume(response, state);
        snmp_free_pdu(response);
    }
    snmp_sess_close(ss);
}

BENCHMARK(CQBPTransGet20)->UseRealTime()->MinTime(3.0);
BENCHMARK(RawNetSnmpSessionPerRequest)->UseRealTime()->MinTime(3.0);
BENCHMARK(RawNetSnmpReusedSession)->UseRealTime()->MinTime(3.0);

} // namespace

int main(int argc, char** argv)
{
    // The raw side gets the same minimal set-up the library makes.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    snmp_disable_log();
    netsnmp_tdomain_init();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
