#include <QApplication>

#include <gtest/gtest.h>

// gtest_discover_tests runs the program at build time without the tests' environment, so the
// platform is chosen here, before the application object exists.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef OSTREL_TEST_SCALE_FACTOR
    // A suite of a high-density screen: every window has this device pixel ratio.
    qputenv("QT_SCALE_FACTOR", OSTREL_TEST_SCALE_FACTOR);
#endif
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
