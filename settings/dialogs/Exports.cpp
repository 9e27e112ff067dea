// The five exports of libnsetup.so.
#include "nsetup/Nsetup.h"

#include "Dialogs.h"

namespace {

template <typename Dialog>
int RunSetup()
{
    nsetup::RunSetupDialog([] {
        Dialog dialog;
        return dialog.exec();
    });
    return 0;
}

} // namespace

extern "C" {

int ManagementSetup(void) { return RunSetup<nsetup::CNSETUPMgmtSetting>(); }
int SearchSetup(void) { return RunSetup<nsetup::CNSETUPSearchSetting>(); }
int SurveillanceSetup(void) { return RunSetup<nsetup::CNSETUPSurveillanceSetting>(); }
int LogSetup(void) { return RunSetup<nsetup::CNSETUPLogSetting>(); }
int GetDispFlag(void) { return nsetup::DisplayFlag(); }

}
