#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// One application object for the whole test binary. Widget tests need a QApplication; a
// machine without a display (CI) must still run them, so the offscreen platform is the default.
int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
