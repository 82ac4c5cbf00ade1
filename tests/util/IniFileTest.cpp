#include <gtest/gtest.h>

#include <limits>

#include "QtPrinters.h"
#include "TempDir.h"
#include "util/IniFile.h"
#include "util/TextEncoding.h"

using namespace kv;

TEST(IniFile, CaseInsensitiveNamesAndTrimmedLiteralValues) {
    const IniFile ini = IniFile::FromBytes(
        "[Keys]\n"
        "  StartBtn =  32  \n"
        "[settings]\n"
        "ConnectResist=25,5\n"
        "Filter=Текстовые файлы|*.txt\n"
        "Quoted=\"a b\"\n"
        "Eq=x=y\n"
        "Bare\n");
    EXPECT_EQ(ini.Value("KEYS", "startbtn"), "32");
    EXPECT_EQ(ini.Value("Settings", "connectresist"), "25,5");
    EXPECT_EQ(ini.Value("settings", "Filter"), QString::fromUtf8("Текстовые файлы|*.txt"));
    EXPECT_EQ(ini.Value("settings", "Quoted"), "a b");
    EXPECT_EQ(ini.Value("settings", "Eq"), "x=y");
    EXPECT_TRUE(ini.HasKey("settings", "BARE"));
    EXPECT_EQ(ini.Value("settings", "Bare", "d"), "");
    EXPECT_EQ(ini.Value("settings", "missing", "d"), "d");
    EXPECT_EQ(ini.Value("nosection", "StartBtn", "d"), "d");
    EXPECT_FALSE(ini.HasKey("keys", "ConnectResist"));
    EXPECT_EQ(ini.Sections(), QStringList({"Keys", "settings"}));

    // A ligature that upper-cases to two letters still finds its section either way.
    const IniFile lig = IniFile::FromBytes("[m\xef\xac\x94X]\nk=v\n");
    const QString name = lig.Sections().value(0);
    EXPECT_EQ(lig.Value(name.toUpper(), "K"), "v");
    EXPECT_EQ(lig.Value(name, "k"), "v");
}

TEST(IniFile, KeyOrderKeptAndFirstDuplicateWins) {
    const IniFile ini = IniFile::FromBytes(
        "[strings]\n"
        "z=zero\n"
        "a=one\n"
        "Z=again\n"
        "m=two\n"
        "[other]\n"
        "k=v\n"
        "[STRINGS]\n"
        "b=three\n"
        "a=ignored\n");
    EXPECT_EQ(ini.Keys("strings"), QStringList({"z", "a", "m", "b"}));
    EXPECT_EQ(ini.Value("strings", "z"), "zero");
    EXPECT_EQ(ini.Value("strings", "a"), "one");
    EXPECT_EQ(ini.Sections(), QStringList({"strings", "other"}));
    EXPECT_TRUE(ini.Keys("none").isEmpty());
}

TEST(IniFile, CommentsBomCrLfAndStrayLines) {
    const IniFile ini = IniFile::FromBytes(
        "\xEF\xBB\xBF"
        "orphan=before any section\r\n"
        "; a comment\r\n"
        "[forms]\r\n"
        "   ; indented comment\r\n"
        "\r\n"
        "TMainForm=Управление\r\n"
        "#hash=is a key on Windows\r\n"
        "[broken\r\n"
        "k=v\r");
    EXPECT_EQ(ini.Sections(), QStringList({"forms", "broken"}));
    EXPECT_EQ(ini.Keys("forms"), QStringList({"TMainForm", "#hash"}));
    EXPECT_EQ(ini.Value("forms", "TMainForm"), QString::fromUtf8("Управление"));
    EXPECT_EQ(ini.Value("broken", "k"), "v");
}

TEST(IniFile, Cp1251File) {
    TempDir dir;
    const QString text = QString::fromUtf8("[strings]\r\nm0=Пуск\r\nm1=Ёлка\r\n");
    const QString path = dir.write("kelvanex.lng", TextEncoding::ToCp1251(text));
    IniFile ini;
    ASSERT_TRUE(ini.Load(path));
    EXPECT_EQ(ini.Value("STRINGS", "m0"), QString::fromUtf8("Пуск"));
    EXPECT_EQ(ini.Value("strings", "m1"), QString::fromUtf8("Ёлка"));
}

TEST(IniFile, MissingFileIsEmpty) {
    TempDir dir;
    IniFile ini = IniFile::FromBytes("[a]\nb=c\n");
    EXPECT_FALSE(ini.Load(dir.file("none.ini")));
    EXPECT_TRUE(ini.IsEmpty());
    EXPECT_FALSE(ini.HasSection("a"));
}

TEST(IniFile, IntegerValues) {
    const IniFile ini =
        IniFile::FromBytes("[k]\na=32\nb=-5\nc=$74\nd=0x20\ne=abc\nf=\ng=12abc\nh=99999999999\n");
    EXPECT_EQ(ini.IntValue("k", "a", 116), 32);
    EXPECT_EQ(ini.IntValue("k", "b", 116), -5);
    EXPECT_EQ(ini.IntValue("k", "c", 0), 116);
    EXPECT_EQ(ini.IntValue("k", "d", 0), 32);
    EXPECT_EQ(ini.IntValue("k", "e", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "f", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "g", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "h", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "missing", 7), 7);
}

TEST(IniFile, OnePairOfSurroundingQuotesIsDropped) {
    const IniFile ini = IniFile::FromBytes(
        "[s]\n"
        "a=\"25.5\"\n"
        "b='x y'\n"
        "c=\"\"\n"
        "d=\"half\n"
        "e=\"mixed'\n"
        "f=\"\"twice\"\"\n"
        "g=in\"side\"\n"
        "h=\"\n"
        "i=  \" padded \"  \n");
    EXPECT_EQ(ini.Value("s", "a"), "25.5");
    EXPECT_EQ(ini.Value("s", "b"), "x y");
    EXPECT_EQ(ini.Value("s", "c"), "");
    EXPECT_EQ(ini.Value("s", "d"), "\"half");
    EXPECT_EQ(ini.Value("s", "e"), "\"mixed'");
    EXPECT_EQ(ini.Value("s", "f"), "\"twice\"");
    EXPECT_EQ(ini.Value("s", "g"), "in\"side\"");
    EXPECT_EQ(ini.Value("s", "h"), "\"");
    EXPECT_EQ(ini.Value("s", "i"), " padded ");
}

TEST(IniFile, AllValuesKeepRepeatedNamesInFileOrder) {
    const IniFile ini =
        IniFile::FromBytes("[strings]\nz=zero\na=one\nZ=again\n[other]\nk=v\n[STRINGS]\na=three\n");
    EXPECT_EQ(ini.AllValues("strings"), QStringList({"zero", "one", "again", "three"}));
    EXPECT_EQ(ini.Keys("strings"), QStringList({"z", "a"}));
    EXPECT_EQ(ini.Value("strings", "z"), "zero") << "lookups still find the first";
    EXPECT_TRUE(ini.AllValues("none").isEmpty());
}

TEST(IniFile, IntegersTakeOneSignAndStayInRange) {
    const IniFile ini = IniFile::FromBytes(
        "[k]\na=-0x-80000000\nb=-0x-5\nc=0x-5\nd=--5\ne=-0x80000000\nf=0x80000000\n"
        "g=-2147483648\nh=2147483648\ni=+$7f\nj=0x\nk=-\nl=\"32\"\nm=0x1g\n");
    EXPECT_EQ(ini.IntValue("k", "a", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "b", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "c", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "d", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "e", 116), std::numeric_limits<int>::min());
    EXPECT_EQ(ini.IntValue("k", "f", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "g", 116), std::numeric_limits<int>::min());
    EXPECT_EQ(ini.IntValue("k", "h", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "i", 116), 127);
    EXPECT_EQ(ini.IntValue("k", "j", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "k", 116), 116);
    EXPECT_EQ(ini.IntValue("k", "l", 116), 32);
    EXPECT_EQ(ini.IntValue("k", "m", 116), 116);
}
