// main() for suites that need a QApplication: headless, whatever the environment says.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The test double for "end the program" unwinds with an exception; Qt's own event
    // dispatcher lets it through cleanly, where glib's C main loop would be left locked.
    qputenv("QT_NO_GLIB", "1");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
