#include "app/Ostrel.h"

#include "app/OstrelDlg.h"
#include "core/Settings.h"

bool CCalibrationApp::InitInstance() {
    // Qt widgets draw in the platform's style already, and there are no ActiveX controls to host.
    core::UseApplicationRegistryKey();
    CCalibrationDlg dialog;
    mainWindow_ = &dialog;
    dialog.exec();
    mainWindow_ = nullptr;
    return false;
}
