// The monitor's links to the list window and the settings dialogs. The
// functions come from the device list library and the settings library;
// when a library in use does not provide one, its pointer is null and the
// command says so instead.
#pragma once

// Device list library: the list window. With a state pointer it writes 1
// when the window is open and busy; otherwise action 1 opens the window (and
// runs it until it closes) and any other action closes it.
int LDDisplayList(int accessMode, int action, int* state) __attribute__((weak));

// Settings library (libnsetup.so, C names): the four settings dialogs (0
// when done) and whether one of them is open.
extern "C" {
int ManagementSetup() __attribute__((weak));
int SearchSetup() __attribute__((weak));
int SurveillanceSetup() __attribute__((weak));
int LogSetup() __attribute__((weak));
int GetDispFlag() __attribute__((weak));
}
