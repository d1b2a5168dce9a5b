#pragma once

#include <memory>

#include "KromaglenForZov_M.h"

class TF_MessageDlg;
class TF_MyShowMessage;

// The wizard's three windows, made in the order the program needs: the main
// window first (its start-up runs while neither dialog exists, so its
// messages wait in the queue), then the information and the question dialog,
// which the main window owns. The main window is shown.
struct WizardWindows
{
    std::unique_ptr<TF_Main> main;
    TF_MyShowMessage *info = nullptr;
    TF_MessageDlg *question = nullptr;
};

WizardWindows showWizard(const TF_MainServices &services);
