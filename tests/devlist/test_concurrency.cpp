// Several threads adding, replacing, clearing and reading the lists at once,
// as the monitor's polling, the list window's refresh, the search and the
// user interface do. Every record a reader gets must be whole: all its
// fields written by the same writer call. Run under ThreadSanitizer too
// (QAV_TSAN).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TestTexts.h"
#include "nlist/Nlist.h"

namespace {

// A record whose every field is derived from one number.
ListData Stamped(uint32_t n)
{
    ListData r;
    r.kind = static_cast<int32_t>(n % 3) - 1;
    r.ipAddress = n;
    r.printerStatus = static_cast<int32_t>(n);
    r.errorCode = static_cast<int32_t>(~n);
    r.isBCP = static_cast<int32_t>(n * 7);
    r.headStatus = static_cast<int32_t>(n ^ 0x5A5A5A5A);
    r.dhcpEnable = static_cast<int32_t>(n + 1);
    const std::string text = std::to_string(n);
    // Long texts: a torn copy would mix two of them.
    for (char* field : {r.name, r.port, r.auxiliaryText, r.model, r.location, r.manager, r.comment, r.reservedText,
                        r.serial, r.renewalTime}) {
        std::string s;
        while (s.size() + text.size() + 1 < 259) s += text + ".";
        std::strcpy(field, s.c_str());
    }
    std::snprintf(r.dhcpHostName, sizeof r.dhcpHostName, "h%s", text.c_str());
    std::snprintf(r.rfidError, sizeof r.rfidError, "e%s", text.c_str());
    std::snprintf(r.rfidOk, sizeof r.rfidOk, "o%s", text.c_str());
    return r;
}

bool IsFresh(const ListData& r)
{
    const ListData fresh;
    return std::memcmp(&r, &fresh, sizeof r) == 0;
}

bool IsWhole(const ListData& r)
{
    const ListData expected = Stamped(r.ipAddress);
    return std::memcmp(&r, &expected, sizeof r) == 0 || IsFresh(r);
}

TEST(Concurrency, ReadersNeverSeeATornRecord)
{
    devlisttest::UseTestTexts();
    ClearListData();
    ClearGroupData();
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> threads;

    // Writers: append, replace at random places, clear now and then.
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([w, &stop] {
            uint32_t n = 1000000u * (w + 1);
            for (int i = 0; i < 4000 && !stop; ++i) {
                AddToListData(Stamped(++n));
                const int size = GetListDataSize();
                if (size > 0) {
                    const int at = static_cast<int>(n % static_cast<uint32_t>(size));
                    SetListData(at, Stamped(++n));
                }
                if (i % 500 == 499) ClearListData();
            }
        });
    }
    // Group writers: groups appear with members and vanish.
    threads.emplace_back([&stop] {
        for (int i = 0; i < 2000 && !stop; ++i) {
            GroupData g;
            std::snprintf(g.name, sizeof g.name, "group %d", i);
            g.members.assign(static_cast<size_t>(i % 17), static_cast<uint32_t>(i));
            AddToGroupData(std::move(g));
            if (i % 50 == 49) ClearGroupData();
        }
    });
    // Readers of the device list, through every read export.
    for (int rdr = 0; rdr < 3; ++rdr) {
        threads.emplace_back([rdr, &stop, &torn, &reads] {
            ListData r;
            char name[260], port[260], serial[260], host[33];
            int kind, status, err, head, dhcp;
            uint32_t ip;
            for (int i = 0; i < 6000 && !stop; ++i) {
                const int size = GetListDataSize();
                const int index = size > 0 ? (i * 31 + rdr) % size : 0;
                GetItemFromListData(&r, index);
                if (!IsWhole(r)) ++torn;
                if (GetListDataDetails(index, &kind, &ip, name, sizeof name, &status, &err, port, sizeof port, nullptr,
                                       0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, serial,
                                       sizeof serial, nullptr, 0, &head, &dhcp, host, sizeof host, nullptr, 0, nullptr,
                                       0) == 1) {
                    const ListData expected = Stamped(ip);
                    if (kind != expected.kind || status != expected.printerStatus || err != expected.errorCode ||
                        head != expected.headStatus || dhcp != expected.dhcpEnable ||
                        std::strcmp(name, expected.name) != 0 || std::strcmp(serial, expected.serial) != 0 ||
                        std::strcmp(host, expected.dhcpHostName) != 0) {
                        ++torn;
                    }
                }
                const uint32_t address = GetipAddressFromListData(index);
                if (address != 0) FindListDatabyIPAddress(address);
                ++reads;
            }
        });
    }
    // A reader of the groups.
    threads.emplace_back([&stop, &torn] {
        char name[260];
        int count = 0;
        for (int i = 0; i < 6000 && !stop; ++i) {
            const int groups = GetGroupDataSize();
            if (groups == 0) continue;
            const int g = i % groups;
            if (GetGroupDetails(g, name, sizeof name, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0,
                                nullptr, 0, &count) == 1) {
                int n = -1;
                if (std::sscanf(name, "group %d", &n) != 1 || count != n % 17) ++torn;
            }
        }
    });
    for (auto& t : threads) t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_GT(reads.load(), 0);
    ClearListData();
    ClearGroupData();
}

TEST(Concurrency, SavingAndLoadingWhileTheListChanges)
{
    devlisttest::UseTestTexts();
    ClearListData();
    ClearGroupData();
    qavtest::TempDir dir;
    const std::string path = dir.File("QAVGroupConfig.qdl");
    for (const char* name : {"All", "Maker"}) {
        GroupData g;
        std::strcpy(g.name, name);
        AddToGroupData(std::move(g));
    }
    std::atomic<int> torn{0};
    std::thread writer([] {
        for (uint32_t n = 1; n <= 3000; ++n) {
            AddToListData(Stamped(n));
            if (n % 400 == 0) ClearListData();
        }
    });
    // The writer's printers are in no group, so most saves are refused as
    // they would make an invalid file: refused with a reason, never torn.
    std::atomic<int> saved{0};
    std::thread saver([&path, &saved] {
        for (int i = 0; i < 15; ++i) {
            std::string reason;
            const int n = SaveListDataToFile(path, &reason);
            if (n >= 0) {
                ++saved;
            } else {
                EXPECT_NE(reason.find("not written"), std::string::npos) << reason;
            }
        }
    });
    std::thread loader([&path, &torn] {
        ListData r;
        for (int i = 0; i < 15; ++i) {
            if (CheckQdlFileFormat(path) == 1) PopulateVectors(path);
            const int size = GetListDataSize();
            for (int j = 0; j < size; j += 17) {
                GetItemFromListData(&r, j);
                // Loaded records carry what the file holds; appended ones are stamped.
                if (r.ipAddress != 0 && std::strncmp(r.name, std::to_string(r.ipAddress).c_str(),
                                                     std::to_string(r.ipAddress).size()) != 0) {
                    ++torn;
                }
            }
        }
    });
    writer.join();
    saver.join();
    loader.join();
    EXPECT_EQ(torn.load(), 0);
    if (saved > 0) {
        EXPECT_EQ(CheckQdlFileFormat(path), 1) << "what was saved passes the check";
    }
    ClearListData();
    ClearGroupData();
}

} // namespace
