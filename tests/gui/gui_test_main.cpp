// The window tests need an application object around every test.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The tests never need a screen; CTest sets this too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Windows closed by a test must not end the loops the next test runs.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
