#pragma once

class QWidget;

// The application object: the program's entry into its own code. It places the settings below
// the data system's key, Software\Tarnwick\Velmora, and runs the main dialog; when the dialog
// ends, the program ends.
class CCalibrationApp {
public:
    // Runs the main dialog to its end. Returns false, so that the program ends without a message
    // loop of its own.
    bool InitInstance();

    QWidget* MainWindow() const { return mainWindow_; }

private:
    QWidget* mainWindow_ = nullptr;
};
