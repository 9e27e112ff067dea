// NLIST: the device list and its groups, shared by every caller in the
// process, and the group file.
//
// Results: 1/0, or an index or -1. Indexes are 0-based. Every function
// takes the lock of the list it touches and releases it before returning, so
// any thread may call any function and always sees whole records. A
// sequence of calls (size, then reads) is not atomic: check every index
// against the current size.
#pragma once

#include <cstdint>
#include <string>

#include "ListData.h"
#include "NlistExport.h"

// ------------------------------------------------------------ device list

// Appends a copy (no duplicate check); returns 1.
NLIST_API int AddToListData(ListData record);
// Replaces the record at index; 1, or 0 when the index is out of range.
NLIST_API int SetListData(int index, ListData record);
// Resets *record to a fresh record, then copies the record at index into it;
// returns record. An index out of range leaves the fresh record.
NLIST_API ListData* GetItemFromListData(ListData* record, int index);
NLIST_API int GetListDataSize();
// The record's address, or 0 when the index is out of range.
NLIST_API uint32_t GetipAddressFromListData(int index);
// Index of the first record with that address, or -1.
NLIST_API int FindListDatabyIPAddress(uint32_t address);
// Sets isBCP; 1, or 0 when the index is out of range.
NLIST_API int SetBCPFlagListData(int index, int value);
// Copies the fields of the record at index. 1 when everything was copied;
// 0, with nothing copied, when the index is out of range or a text is not
// shorter than its buffer. A null pointer skips its field.
NLIST_API int GetListDataDetails(int index, int* kind, uint32_t* ipAddress, char* name, int nameSize,
                                 int* printerStatus, int* errorCode, char* port, int portSize, char* auxiliaryText,
                                 int auxiliaryTextSize, char* model, int modelSize, char* location, int locationSize,
                                 char* manager, int managerSize, char* comment, int commentSize, char* reservedText,
                                 int reservedTextSize, char* serial, int serialSize, char* renewalTime,
                                 int renewalTimeSize, int* headStatus, int* dhcpEnable, char* dhcpHostName,
                                 int dhcpHostNameSize, char* rfidError, int rfidErrorSize, char* rfidOk,
                                 int rfidOkSize);
// Empties the device list; returns 1.
NLIST_API int ClearListData();

// ----------------------------------------------------------------- groups

// Appends the group, taking over its member arrays; returns 1. count is set
// to the number of members and marks to one per member.
NLIST_API int AddToGroupData(GroupData group);
NLIST_API int GetGroupDataSize();
// Copies the group's texts and count. 1 when copied; 0, with nothing copied,
// when a text is not shorter than its buffer (or the index is negative); 1,
// with nothing copied, when the index is at or past the end.
NLIST_API int GetGroupDetails(int index, char* name, int nameSize, char* model, int modelSize, char* port,
                              int portSize, char* serialNo, int serialNoSize, char* installationFeatures,
                              int installationFeaturesSize, char* manager, int managerSize, char* comment,
                              int commentSize, int* count);
// The group's count; 0 when the group does not exist.
NLIST_API int GetPrinterCountfromGroupData(int group);
// The address of the member at position; 0 when there is no such member.
NLIST_API uint32_t GetPrinterFromGroupData(int group, int position);
// Removes all groups; returns 1.
NLIST_API int ClearGroupData();

// ------------------------------------------------------------- group file

// 1 when the file is a valid group file, 0 otherwise. Reads only: a file
// that is no regular file (a FIFO) or larger than 64 MiB is not read and is
// invalid. The second form gives the reason of a rejection, naming the file.
NLIST_API int CheckQdlFileFormat(const char* path);
NLIST_API int CheckQdlFileFormat(const std::string& path);
NLIST_API int CheckQdlFileFormat(const std::string& path, std::string* reason);
// Replaces the device list and the groups with the file's content; 1 loaded,
// 0 not loaded (the lists are then unchanged).
NLIST_API int PopulateVectors(const char* path);
NLIST_API int PopulateVectors(const std::string& path);
// Writes the lists into the file, keeping what the file holds besides; the
// number of printers written (0 for an empty list), or -1 when the file was
// not written (it is then unchanged): the folder is missing or not
// writable, the disk is full, the file exists and cannot be read, or the
// result would fail CheckQdlFileFormat (the lists are checked before the
// file is replaced). The second form gives the reason, naming the file.
// Temporary files that earlier saves of the same file left behind when
// their process was killed are removed.
NLIST_API int SaveListDataToFile(const char* path);
NLIST_API int SaveListDataToFile(const std::string& path);
NLIST_API int SaveListDataToFile(const std::string& path, std::string* reason);

// ---------------------------------------------------------- device search

// Finds printers on the network with the settings of "QAVSearchConfig.qso"
// and merges them into the device list; returns when the search has ended.
// In a process with a widget application it shows the progress window
// modally (its button cancels); elsewhere it runs without a window.
NLIST_API void SearchDevices();

// ----------------------------------------------------------- status texts

// The status text (language texts 3000-3150) and the icon number of a
// printer with these values; the text is cut to size - 1 characters. Returns
// the icon.
NLIST_API int GetStatusTextAndIcon(int isBCP, int printerStatus, int errorCode, int headStatus, char* text,
                                   int size);
// 0 while the printer was loaded from a group file and has not answered
// since (its record holds what the file said; the list window shows "not
// known yet"), else 1 (an address that is not listed included).
NLIST_API int IsPrinterStateKnown(uint32_t address);

// ------------------------------------------------------------ list window

// With a state pointer: writes 1 when the window is open and busy (a dialog
// of it is open), else 0. Otherwise action 1 opens the window with the
// access mode (0 restricted, else full) and runs it on the calling thread
// until it closes, or only brings it to the front when it is open already;
// any other action asks an open window to close. Returns 1.
NLIST_API int LDDisplayList(int accessMode, int action, int* state);
