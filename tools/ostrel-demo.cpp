// ostrel-demo DIR: writes the demonstration profile into DIR: five calibration chromatograms of an
// ethanol calibration with isopropanol as internal standard, a method folder, and the settings
// hives that point the program at them (tests/support/DemoProfile.h has the layout). Start the
// program on it with XDG_CONFIG_HOME=DIR/config and XDG_CONFIG_DIRS=DIR/machine. The output is the
// same on every run, and a run puts back whatever the program changed in the profile.
#include "support/DemoProfile.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ostrel-demo DIR\n");
        return 2;
    }
    try {
        const fixtures::DemoProfile profile = fixtures::WriteDemoProfile(argv[1]);
        std::printf("XDG_CONFIG_HOME=%s\nXDG_CONFIG_DIRS=%s\n", profile.userConfig.c_str(),
                    profile.machineConfig.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ostrel-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
