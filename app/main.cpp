// ostrel: the calibration program. It takes no arguments of its own (Qt's, such as -platform,
// are understood) and ends when its dialog closes.
#include "app/Ostrel.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    CCalibrationApp app;
    app.InitInstance();
    return 0;
}
