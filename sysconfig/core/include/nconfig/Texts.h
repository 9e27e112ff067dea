// The numbers the system setting tool looks up in its language library, and
// the few texts of its own.
#pragma once

namespace nconfig {

// Every message box of the tool carries this caption.
inline constexpr const char* kCaption = "QAVNet Config";

// Messages.
inline constexpr int kMsgWindowFailed = 6000;   // the parameter window could not be built
inline constexpr int kMsgUnsupported = 6001;    // the printer's class is neither 0 nor 27
inline constexpr int kMsgCannotStart = 6002;    // resources, command line or list file
inline constexpr int kMsgCheckFailed = 6003;    // the printer could not be checked
inline constexpr int kMsgOtherInstance = 6004;  // another instance forbids this one
inline constexpr int kMsgOutOfRange = 6005;     // an entered value failed its check
inline constexpr int kMsgOtherModel = 6006;     // a configuration-data file of another model

// The printer list of the list mode (CListDlg).
inline constexpr int kTextColumnPort = 5020;    // 5020..5023: the four column titles
inline constexpr int kTextRetry = 5024;
inline constexpr int kTextStop = 5025;
inline constexpr int kTextListIntro = 5026;
inline constexpr int kTextNoAnswer = 5027;      // model column of a printer that did not answer
inline constexpr int kTextNotWritten = 5028;
inline constexpr int kTextUnsupported = 5029;
inline constexpr int kTextListTitle = 5030;
inline constexpr int kTextNameFormat = 5031;    // "%s:": a parameter's name in the tree

// File filters ("description|pattern|...||").
inline constexpr int kFilterText = 5100;
inline constexpr int kFilterExport = 5101;
inline constexpr int kFilterImport = 5102;

// The tree pictures: icons 200..204 are pictures 0..4.
inline constexpr int kFirstTreeIcon = 200;

} // namespace nconfig
