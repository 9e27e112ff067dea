// The download into one printer, step by step, with every wait and error
// code:
//
//  1. Open the port (10, 11).
//  2. Except GAIJI: send the start command (15); on LPT wait 3 s without
//     reading, else wait up to 30 s for reply 52 (16, 17; refusals 24-26).
//  3. Send the data, whole or in 256 KB blocks (18, 19, 20; in block mode
//     each block but the last is answered 53: 21, 22, 24-26).
//  4. GAIJI ends here. Other kinds, except on LPT, wait for reply 56:
//     (length / 64 KB) x 1.5 s + 10 s, and 15 s more on USB (21, 22, 24-26).
//  5. Close. USB and LPT printers are done; serial and raw TCP/IP printers
//     get 18 s to restart; a network printer is waited for (a trap from it,
//     else the whole limit), then read again: its version of the file's kind
//     must be the file's (23).
#pragma once

#include <array>
#include <atomic>
#include <vector>

#include "nload/Link.h"
#include "nload/Printer.h"
#include "nload/Protocol.h"
#include "nload/Trailer.h"

namespace nload {

// Every wait of the procedure, in milliseconds.
struct Timing {
    int startReplyMs = 30000;      // reply 52 to the start command
    int lptSilenceMs = 3000;       // LPT: the pause after the start command
    int finalBaseMs = 10000;       // reply 56: this much
    int finalPer64KbMs = 1500;     //   plus this per whole 64 KB of data
    int finalUsbExtraMs = 15000;   //   plus this on USB
    int blockReplyMs = 10000;      // reply 53 after a block
    int stallWholeMs = 60000;      // a whole send that moves nothing for this long fails
    int stallGaijiMs = 180000;     //   the same for GAIJI
    int stallBlockMs = 10000;      //   the same for one block
    int serialRestartMs = 18000;   // serial and raw TCP/IP printers after the download
    int restartMs = 28000;         // a network printer's restart (restart mark set)
    int restartLongMs = 70000;     //   the same for the slow models
    int restartNoMarkMs = 18000;   //   restart mark clear
    int restartNoMarkLongMs = 60000;
    int afterRestartMs = 2000;     // after the restart, before the version is read
    int pollMs = 100;              // progress poll and wait step
};

inline constexpr int kBlockSize = 262144; // 256 KB

// The data of a run, prepared once and shared by every printer.
struct PreparedFile {
    FileInfo info;
    std::vector<unsigned char> data;               // as sent (see PrepareData)
    std::array<unsigned char, kStartCommandSize> startCommand{};
};

// Reports of one printer's download, made on the thread that runs it.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void Status(int textId) = 0;
    virtual void Sent(int bytes) = 0; // bytes of the prepared data sent so far
};

// Whether a printer takes its data in blocks: the models MC111W and MD111,
// and USB and serial printers marked for it.
bool UsesBlocks(const PrinterInfo& printer);
// The wait for reply 56 after `dataLength` bytes.
int FinalReplyLimit(const Timing& timing, size_t dataLength, bool usb);
// The restart limit of a network printer.
int RestartLimit(const Timing& timing, const PrinterInfo& printer);

// Downloads the prepared file into one printer and returns its result
// (code 0 on success). `stop`, when set, ends the download at its next
// wait with code 30.
PrinterResult DownloadToPrinter(Environment& env, const PreparedFile& file, const Timing& timing,
                                PrinterInfo& printer, ProgressSink& sink, const std::atomic<bool>* stop = nullptr);

} // namespace nload
