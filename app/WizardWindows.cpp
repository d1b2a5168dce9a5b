#include "WizardWindows.h"

#include "KromaglenForZov_MD.h"
#include "KromaglenForZov_SM.h"

WizardWindows showWizard(const TF_MainServices &services)
{
    WizardWindows windows;
    windows.main = std::make_unique<TF_Main>(services);
    windows.info = new TF_MyShowMessage(windows.main.get());
    windows.question = new TF_MessageDlg(windows.main.get());
    windows.main->setDialogs(windows.info, windows.question);
    windows.main->show();
    return windows;
}
