// Fuzz target of the group file's check and load (and a save of what was
// loaded). For any file: nothing crashes or reads out of bounds, the load
// costs what the file holds, a file that the check accepts loads with every
// group member present in the device list, and a save writes only files
// that the check accepts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "nlist/Nlist.h"

namespace {

std::string folder;

void Fail(int line)
{
    std::fprintf(stderr, "property violated at %s:%d\n", __FILE__, line);
    std::abort();
}

} // namespace

#define Require(ok) ((ok) ? (void)0 : Fail(__LINE__))

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In memory where possible: every save flushes its file to disk.
    char pattern[] = "/dev/shm/qav-fuzz-XXXXXX";
    char fallback[] = "/tmp/qav-fuzz-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir) dir = ::mkdtemp(fallback);
    if (!dir) std::abort();
    folder = dir;
    std::ofstream(folder + "/QAVLANG.txt") << "3000 = Online\n3100 = Other\n3102 = Idle\n3150 = No answer\n"
                                              "3028 = Error %d\n3300 = 1.3.6.1.4.1.32473\n";
    std::ofstream(folder + "/QAVOIDER.txt") << "1361 1.3.6.1.2.1.1.2 OID\n";
    ::setenv("QAV_RESOURCE_DIR", folder.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (folder.empty()) LLVMFuzzerInitialize(nullptr, nullptr);
    const std::string in = folder + "/in.qdl";
    const std::string out = folder + "/out.qdl";
    {
        std::ofstream f(in, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    ClearListData();
    ClearGroupData();
    const int valid = CheckQdlFileFormat(in);
    const int loaded = PopulateVectors(in);
    if (valid == 1) {
        Require(loaded == 1);
        const int groups = GetGroupDataSize();
        Require(groups >= 2 && groups <= 10);
        for (int g = 0; g < groups; ++g) {
            for (int k = 0; k < GetPrinterCountfromGroupData(g); ++k) {
                Require(FindListDatabyIPAddress(GetPrinterFromGroupData(g, k)) >= 0);
            }
        }
    }
    if (loaded == 1) {
        // A save writes a file that its check accepts, or nothing at all; a
        // valid file always saves.
        ::unlink(out.c_str());
        const int saved = SaveListDataToFile(out);
        if (saved >= 0) {
            Require(saved == GetListDataSize() && CheckQdlFileFormat(out) == 1);
        } else {
            Require(valid != 1 && ::access(out.c_str(), F_OK) != 0);
        }
    }
    ClearListData();
    ClearGroupData();
    return 0;
}
