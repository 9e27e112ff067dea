// The monitor's two fixed tables: what a trap means and which channels it
// reaches (trap table), and which mail kind and subject it gives (mail-kind
// table).
#pragma once

namespace nwatch {

struct TrapRow {
    int generic;
    int specific;
    int textId;     // message text, -1 none
    int listPopup;  // list window and pop-up channel
    int sound;
    int soundFileId; // text holding the sound file's name, -1 none
    int mail;
    int log;
};

// The first row whose generic and specific numbers both match. An
// enterprise-specific trap (generic 6) that matches none takes the row of
// the unknown printer event (specific 98); any other trap the empty row.
const TrapRow& FindTrapRow(int generic, int specific);
int TrapRowIndex(const TrapRow& row);
inline constexpr int kTrapRowCount = 53;
const TrapRow& TrapRowAt(int index);

struct MailKindRow {
    int generic;
    int specific;
    int allowed;
    int subjectId;   // -1 none
    const char* key; // the per-kind key of the recipient sections, nullptr none
};

// The first row whose numbers both match; an unmatched enterprise-specific
// trap takes the printer-error row (specific 98), anything else the row
// that allows no mail.
const MailKindRow& FindMailKindRow(int generic, int specific);
inline constexpr int kMailKindRowCount = 31;
const MailKindRow& MailKindRowAt(int index);

} // namespace nwatch
