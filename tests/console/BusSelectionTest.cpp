// Which converters a program uses: explicit paths that cannot be converters are refused by
// name, and a converter that is listed but cannot be opened is a port error, not a transfer
// error.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "QtPrinters.h"
#include "TempDir.h"
#include "bus/TPortProto.h"
#include "bus/TtyConverterBackend.h"
#include "console/BusSelection.h"

using namespace kv;

TEST(BusSelection, PathsThatAreNoTerminalsAreRefusedByName) {
    TempDir dir;
    const QString file = dir.write(QStringLiteral("plain"), "x");
    const QString folder = dir.path();
    const QString fifo = dir.file(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    for (const QString& path : {QStringLiteral("/dev/zero"), file, folder, fifo}) {
        BusOptions options;
        options.ports = {path};
        const BusSelection s = SelectBus(options);
        EXPECT_EQ(s.backend, nullptr) << path.toStdString();
        EXPECT_TRUE(s.error.contains(path)) << s.error.toStdString();
        EXPECT_TRUE(s.error.contains(QStringLiteral("not a terminal"))) << s.error.toStdString();
    }
    // The same from the settings file's [bus] Ports.
    BusOptions fromSettings;
    fromSettings.settingsPath = dir.write(QStringLiteral("kelvanex.ini"),
                                          "[bus]\nPorts=/dev/zero ; " + file.toUtf8() + "\n");
    const BusSelection s = SelectBus(fromSettings);
    EXPECT_EQ(s.backend, nullptr);
    EXPECT_TRUE(s.error.contains(QStringLiteral("/dev/zero"))) << s.error.toStdString();
    EXPECT_TRUE(s.error.contains(file)) << s.error.toStdString();

    // A path that is not there now may be a converter that is unplugged: it is kept.
    BusOptions absent;
    absent.ports = {dir.file(QStringLiteral("ttyUSB9"))};
    EXPECT_NE(SelectBus(absent).backend, nullptr);
}

TEST(BusSelection, AConverterThatCannotBeOpenedIsAPortError) {
    // A character device that is no terminal, listed when the back end is made directly: its
    // open fails, so the port is not open and an exchange reports -1.
    TtyConverterBackend::Options options;
    options.paths = {"/dev/zero"};
    auto backend = std::make_shared<TtyConverterBackend>(options);
    TPortProto proto(16, backend);
    EXPECT_FALSE(proto.OpenPort());
    BusFrame answer{};
    EXPECT_EQ(proto.Request(BusFrame{0x85, 0, 0, 0, 0, 5}, 0x85, -1, -1, answer), BusPortError);
    EXPECT_EQ(proto.Send(BusFrame{0x85, 0, 0, 0, 0, 5}, -1), BusPortError);
}
