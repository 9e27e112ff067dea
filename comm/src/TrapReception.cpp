// Trap reception state of a session.
#include "ncomm/CQBPTrans.h"

void CQBPTrans::CancelTrap()
{
    if (kind_ != kNone && kind_ != kSnmp) return;
    trapList_.reset();
    trapEvent_ = nullptr;
    trapPending_ = 0;
    allTrapsFlag_ = 0;
}
