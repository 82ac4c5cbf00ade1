#include <gtest/gtest.h>

#include <QDir>

#include "QtPrinters.h"
#include "TempDir.h"
#include "core/FileLocations.h"
#include "core/LogName.h"
#include "core/Settings.h"

namespace kv {
namespace {

// A program folder, a home with its XDG folders and a system configuration folder, all in one
// temporary tree.
class FileLocationsTest : public ::testing::Test {
protected:
    FileLocationsTest() {
        for (const char* d : {"bin", "home", "etc/kelvane", "xdg/config", "xdg/state"}) {
            QDir(root_.path()).mkpath(QString::fromLatin1(d));
        }
        in_.programDir = path("bin");
        in_.home = path("home");
        in_.systemConfigDir = path("etc/kelvane");
    }
    QString path(const QString& relative) const { return root_.file(relative); }
    void touch(const QString& relative) const {
        QDir(root_.path()).mkpath(QFileInfo(path(relative)).path());
        root_.write(relative, "");
    }

    TempDir root_;
    FileLocationInputs in_;
};

TEST_F(FileLocationsTest, PortableWhenTheProgramFolderHoldsItsOwnFiles) {
    // A build folder: writable, with the marker the build leaves there.
    touch(QStringLiteral("bin/kelvane.portable"));
    FileLocations l = ResolveFileLocations(in_);
    EXPECT_TRUE(l.portable);
    EXPECT_EQ(l.settingsFile, path("bin/kelvanex.ini"));
    EXPECT_EQ(l.languageFile, path("bin/kelvanex.lng"));
    EXPECT_EQ(l.logDir, path("bin/logs"));

    // An unpacked copy with only a settings file, or only a logs folder from earlier runs.
    QFile::remove(path("bin/kelvane.portable"));
    touch(QStringLiteral("bin/kelvanex.ini"));
    EXPECT_TRUE(ResolveFileLocations(in_).portable);
    QFile::remove(path("bin/kelvanex.ini"));
    QDir().mkpath(path("bin/logs"));
    EXPECT_TRUE(ResolveFileLocations(in_).portable);
}

TEST_F(FileLocationsTest, InstalledUsesTheXdgFolders) {
    in_.xdgConfigHome = path("xdg/config");
    in_.xdgStateHome = path("xdg/state");
    const FileLocations l = ResolveFileLocations(in_);
    EXPECT_FALSE(l.portable);
    EXPECT_EQ(l.configDir, path("xdg/config/kelvane"));
    // Neither file exists anywhere: named in the user's folder, where the operator puts them.
    EXPECT_EQ(l.settingsFile, path("xdg/config/kelvane/kelvanex.ini"));
    EXPECT_EQ(l.languageFile, path("xdg/config/kelvane/kelvanex.lng"));
    EXPECT_EQ(l.logDir, path("xdg/state/kelvane/logs"));
}

TEST_F(FileLocationsTest, UnsetOrRelativeXdgVariablesFallBackToTheHomeFolder) {
    in_.xdgStateHome = QStringLiteral("relative/state");
    const FileLocations l = ResolveFileLocations(in_);
    EXPECT_EQ(l.settingsFile, path("home/.config/kelvane/kelvanex.ini"));
    EXPECT_EQ(l.logDir, path("home/.local/state/kelvane/logs"));
}

TEST_F(FileLocationsTest, EachFileFallsBackToTheSystemFolderOnItsOwn) {
    touch(QStringLiteral("etc/kelvane/kelvanex.ini"));
    touch(QStringLiteral("etc/kelvane/kelvanex.lng"));
    touch(QStringLiteral("home/.config/kelvane/kelvanex.lng"));
    const FileLocations l = ResolveFileLocations(in_);
    EXPECT_EQ(l.settingsFile, path("etc/kelvane/kelvanex.ini"));
    EXPECT_EQ(l.languageFile, path("home/.config/kelvane/kelvanex.lng"));
}

TEST_F(FileLocationsTest, OptionsOverrideEitherLayout) {
    in_.configDirOption = path("mine");
    in_.logDirOption = path("mylogs");
    touch(QStringLiteral("etc/kelvane/kelvanex.ini"));
    FileLocations l = ResolveFileLocations(in_);
    EXPECT_FALSE(l.portable);
    // An explicit folder is the only one read: no fallback to /etc.
    EXPECT_EQ(l.settingsFile, path("mine/kelvanex.ini"));
    EXPECT_EQ(l.languageFile, path("mine/kelvanex.lng"));
    EXPECT_EQ(l.logDir, path("mylogs"));

    touch(QStringLiteral("bin/kelvanex.ini"));
    l = ResolveFileLocations(in_);
    EXPECT_TRUE(l.portable);
    EXPECT_EQ(l.settingsFile, path("mine/kelvanex.ini"));
    EXPECT_EQ(l.logDir, path("mylogs"));
}

TEST_F(FileLocationsTest, TheRunsLocationsAreWhatSettingsAndLogsUse) {
    in_.xdgStateHome = path("xdg/state");
    const FileLocations l = ResolveFileLocations(in_);
    SetFileLocations(l);
    EXPECT_EQ(DefaultSettingsFilePath(), l.settingsFile);
    EXPECT_EQ(LogsDirectory(), l.logDir);
    EXPECT_TRUE(DescribeFileLocations(l).contains(l.logDir));
    ResetFileLocationsForTesting();
    EXPECT_EQ(LogsDirectory(), QDir(ProgramDirectory()).filePath(QStringLiteral("logs")));
}

}  // namespace
}  // namespace kv
