// The device list and the group list of the process, their two locks, and
// the model's internal operations used by the library's own windows and the
// device search (not exported).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "nlist/ListData.h"

namespace qavres {
class StringTable;
class ObjectTable;
}

namespace nlist {

// One instance per process. Each list has its own recursive lock; a caller
// may take the same lock again on its thread. Never hold both at once.
class DeviceModel {
public:
    static DeviceModel& Instance();

    std::unique_lock<std::recursive_mutex> LockDevices() { return std::unique_lock(deviceMutex_); }
    std::unique_lock<std::recursive_mutex> LockGroups() { return std::unique_lock(groupMutex_); }

    // Guarded by LockDevices() / LockGroups().
    std::vector<ListData> devices;
    std::vector<GroupData> groups;
    // Guarded by LockDevices(): the printers loaded from a group file that
    // have not answered since (their stored state is the file's, not
    // theirs). A record stored through SetListData or AddToListData, or by
    // the refresh, comes from a query and leaves the set.
    std::unordered_set<uint32_t> awaiting;

private:
    DeviceModel() = default;
    std::recursive_mutex deviceMutex_;
    std::recursive_mutex groupMutex_;
};

// Appends the address to the group with a mark of 0; 1, or 0 when the group
// does not exist.
int AddPrinterToGroup(int group, uint32_t address);
// Removes the first member with that address and its mark; 1, or 0 if absent.
int RemovePrinterFromGroup(int group, uint32_t address);
// 1, or 0 when the group does not exist.
int RemoveGroup(int index);
// Index of the first group other than `skip` whose name equals `name`
// without regard to case, or -1.
int FindGroupByName(const char* name, int skip);
// Position of the address in the group, or -1.
int FindMemberPosition(uint32_t address, int group);
// Copies the group's name cut to size - 1; 1, or 0 when the group does not exist.
int GetGroupName(int index, char* buffer, int size);
// The mark, or -1 when there is no such member.
int GetMemberMark(int group, int position);
// 1, or 0 when there is no such member.
int SetMemberMark(int group, int position, int mark);
// Number of non-zero marks of the group (0 when it does not exist).
int CountMarkedMembers(int group);
// Replaces the member at position (only below count); 1 or 0.
int SetMember(int group, int position, uint32_t address);
// Removes the first record with that address; 1, or -1 when there is none.
int RemovePrinter(uint32_t address);
// Whether the printer was loaded from the group file and has not answered
// since: its state is not known yet.
bool AwaitsFirstAnswer(uint32_t address);
// The field of the record at index, or -1 when out of range.
int GetPrinterStatus(int index);
int GetErrorCode(int index);
int GetHeadStatus(int index);

// Adds a printer that is new to the list to its groups: group 0 always,
// group 1 when it is known to be the maker's (no query), groups 2 and up when
// all six criteria match. Returns 1.
int AssignToGroups(const ListData& record);
// Whether the printer is the maker's. A record that already knows gives its
// value; otherwise, without a query 0; with one, object 1361 is read from the
// printer and compared with text 3300 (the maker's enterprise OID), the
// result stored in the record (when there is one) and returned. A query
// that got no answer returns 0 and stores nothing: the printer is asked
// again next time (MakerFlag in PrinterQueries.h tells the two apart).
int DetermineIsBCP(uint32_t address, bool query);

// The matching rules of the group criteria.
bool MatchList(const char* value, const char* criterion);
bool MatchAddress(const char* value, const char* criterion);
bool MatchRange(const char* value, const char* criterion);

// Whether an object identifier lies under the enterprise prefix: equal to it
// or continuing with ".". An empty prefix matches nothing.
bool UnderEnterprise(const std::string& oid, const std::string& prefix);

// Puts a terminating zero at the end of every text array of a record that
// came from a caller, so that no later read runs past an array.
void Terminate(ListData& record);
void Terminate(GroupData& group);

// Copies text into a fixed array, cut to fit with its terminating zero.
void CopyText(char* to, size_t size, const char* from);
template <size_t N>
void CopyText(char (&to)[N], const char* from) { CopyText(to, N, from); }

// The language texts and the object table of the library, loaded on first
// use from the resource folder.
const qavres::StringTable& Language();
const qavres::ObjectTable& Objects();
// Loads both again (for tests that change the resource folder).
void ReloadResources();

} // namespace nlist
