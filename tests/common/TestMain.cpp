#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QTemporaryFile>
#include <cstdlib>

// One application object for the whole test binary. Widget tests need a QApplication; a
// machine without a display (CI) must still run them, so the offscreen platform is the default.
// Its screen is the smallest the console is made for (1280x800), so that the window tests see
// what an operator on such a screen would see.
int main(int argc, char** argv) {
    QTemporaryFile screens;
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || QByteArray(platform) == "offscreen") {
        QByteArray value("offscreen");
        if (screens.open()) {
            screens.write(R"({"screens": [{"name": "console", "x": 0, "y": 0,
                "width": 1280, "height": 800, "logicalDpi": 96, "dpr": 1}]})");
            screens.flush();
            value += ":configfile=" + screens.fileName().toLocal8Bit();
        }
        setenv("QT_QPA_PLATFORM", value.constData(), 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
