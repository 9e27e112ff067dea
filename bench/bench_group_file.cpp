// The group file at fleet sizes: check + load + save of a file with N
// printers in 10 groups, as the monitor does at start and exit. Target: under
// 1 s for 10,000 printers, with memory growing linearly.
//
//   build/bin/bench_group_file --benchmark_counters_tabular=true
//
// Counters: peak_MiB is the highest heap use during one check + load + save
// above what was in use before it (the model itself included), file_MiB the
// size of the file.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "nlist/Nlist.h"

namespace {

std::atomic<long long> heapNow{0};
std::atomic<long long> heapPeak{0};

void Count(long long delta)
{
    const long long now = heapNow.fetch_add(delta) + delta;
    long long peak = heapPeak.load();
    while (now > peak && !heapPeak.compare_exchange_weak(peak, now)) {
    }
}

} // namespace

void* operator new(size_t n)
{
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    Count(static_cast<long long>(malloc_usable_size(p)));
    return p;
}
void operator delete(void* p) noexcept
{
    if (!p) return;
    Count(-static_cast<long long>(malloc_usable_size(p)));
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

std::string Folder()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/qav-bench-XXXXXX";
        const char* d = ::mkdtemp(tmpl);
        const std::string folder = d ? d : "/tmp";
        std::ofstream(folder + "/QAVLANG.txt") << "3000 = Online\n3102 = Idle\n3150 = No answer\n";
        std::ofstream(folder + "/QAVOIDER.txt") << "1361 1.3.6.1.2.1.1.2 OID\n";
        ::setenv("QAV_RESOURCE_DIR", folder.c_str(), 1);
        return folder;
    }();
    return dir;
}

// N printers of realistic field lengths, 10 groups: all, maker's, and 8
// user groups with a share of the printers each.
void BuildModel(int printers)
{
    ClearListData();
    ClearGroupData();
    std::vector<GroupData> groups(10);
    for (int g = 0; g < 10; ++g) std::snprintf(groups[g].name, sizeof groups[g].name, "Group %d", g);
    std::strcpy(groups[0].name, "All printers");
    std::strcpy(groups[1].name, "QAV printers");
    for (int j = 0; j < printers; ++j) {
        ListData r;
        r.kind = 1;
        r.ipAddress = 0x0A000000u + static_cast<uint32_t>(j + 1);
        std::snprintf(r.name, sizeof r.name, "PRN-%05d", j);
        std::snprintf(r.port, sizeof r.port, "10.%d.%d.%d", (j + 1) >> 16, ((j + 1) >> 8) & 255, (j + 1) & 255);
        std::strcpy(r.model, j % 2 ? "QAV M-UG2" : "QAV M-RA1");
        std::snprintf(r.location, sizeof r.location, "Warehouse %d, aisle %d", j % 7, j % 40);
        std::strcpy(r.manager, "Logistics operations");
        std::strcpy(r.comment, "Shipping labels");
        std::snprintf(r.serial, sizeof r.serial, "A%08d", j);
        std::strcpy(r.renewalTime, "12-March-2024 10:15:00");
        r.isBCP = 1;
        r.dhcpEnable = 1;
        std::snprintf(r.dhcpHostName, sizeof r.dhcpHostName, "prn%05d", j);
        std::strcpy(r.rfidError, "12");
        std::strcpy(r.rfidOk, "34567");
        AddToListData(r);
        groups[0].members.push_back(r.ipAddress);
        groups[1].members.push_back(r.ipAddress);
        groups[2 + j % 8].members.push_back(r.ipAddress);
    }
    for (GroupData& g : groups) AddToGroupData(std::move(g));
}

void BM_CheckLoadSave(benchmark::State& state)
{
    const int printers = static_cast<int>(state.range(0));
    const std::string path = Folder() + "/QAVGroupConfig-" + std::to_string(printers) + ".qdl";
    BuildModel(printers);
    if (SaveListDataToFile(path) != printers) {
        state.SkipWithError("save failed");
        return;
    }
    long long peak = 0;
    for (auto _ : state) {
        const long long before = heapNow.load();
        heapPeak.store(before);
        if (CheckQdlFileFormat(path) != 1 || PopulateVectors(path) != 1 || SaveListDataToFile(path) != printers) {
            state.SkipWithError("check, load or save failed");
            break;
        }
        peak = std::max(peak, heapPeak.load() - before);
    }
    state.counters["printers"] = printers;
    state.counters["peak_MiB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0);
    state.counters["peak_B_per_printer"] = static_cast<double>(peak) / printers;
    state.SetItemsProcessed(state.iterations() * printers);
}

BENCHMARK(BM_CheckLoadSave)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
