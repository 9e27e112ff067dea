// The settings library libnsetup.so: the four settings dialogs and the flag
// that tells whether one of them is open. Each setup function runs its
// dialog modally on the caller's thread (a QApplication is made for the call
// when the caller has none) and returns 0 when it closed. Only one settings
// dialog is open at a time across all processes (the named mutex
// "NSETUPMutex"); a second one closes at once. The list window finds the
// functions by these names with dlsym.
#pragma once

#define NSETUP_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

NSETUP_API int ManagementSetup(void);   // QAVMgmtConfig.INI and the autostart entry
NSETUP_API int SearchSetup(void);       // QAVSearchConfig.qso
NSETUP_API int SurveillanceSetup(void); // QAVSurveyConfig.INI
NSETUP_API int LogSetup(void);          // QAVLogConfig.INI
// 1 while one of the setup functions runs, else 0.
NSETUP_API int GetDispFlag(void);

#ifdef __cplusplus
}
#endif
