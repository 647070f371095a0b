// The typed reads and writes of the settings store, on real settings files in
// a temporary HOME.
#include "app/SettingsStore.h"
#include "TempDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace SettingsStore;

namespace {

const QString kKey = "Software\\QMK\\FerVanTest";
constexpr RegRoot kUser = RegRoot::CurrentUser;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        FFile = StorageLocation(kUser, kKey);
        QFile::remove(FFile);
    }
    // Replaces the file as a user editing it by hand would.
    void WriteFile(const std::string& text) {
        QDir().mkpath(QFileInfo(FFile).path());
        std::ofstream(FFile.toStdString(), std::ios::binary | std::ios::trunc) << text;
    }
    std::string FileText() const { return ReadAll(FFile.toStdString()); }

    QString FFile;
};

TEST_F(SettingsStoreTest, MissingValuesReadAsTheirDefaults) {
    EXPECT_FALSE(QFileInfo::exists(FFile));
    EXPECT_EQ(RegReadString(kUser, kKey, "edtOutput", "dflt"), "dflt");
    EXPECT_EQ(RegReadInteger(kUser, kKey, "spnBuf1", 10240), 10240);
    EXPECT_TRUE(RegReadBool(kUser, kKey, "radMB", true));
    EXPECT_FALSE(RegReadBool(kUser, kKey, "radGB", false));
    // Reading never creates the key.
    EXPECT_FALSE(QFileInfo::exists(FFile));
}

TEST_F(SettingsStoreTest, ValuesRoundTripWithTheirTypes) {
    const QString separator = "\r\n==== New file ===\r\n\r\n";
    EXPECT_TRUE(RegWriteString(kUser, kKey, "mmoSeparator", true, separator));
    EXPECT_TRUE(RegWriteString(kUser, kKey, "edtFileName", true, "a, b = c; \"d\" @Variant"));
    EXPECT_TRUE(RegWriteInteger(kUser, kKey, "low", true, -2147483647 - 1));
    EXPECT_TRUE(RegWriteInteger(kUser, kKey, "high", true, 2147483647));
    EXPECT_TRUE(RegWriteBool(kUser, kKey, "on", true, true));
    EXPECT_TRUE(RegWriteBool(kUser, kKey, "off", true, false));

    EXPECT_EQ(RegReadString(kUser, kKey, "mmoSeparator", ""), separator);
    EXPECT_EQ(RegReadString(kUser, kKey, "edtFileName", ""), "a, b = c; \"d\" @Variant");
    EXPECT_EQ(RegReadInteger(kUser, kKey, "low", 0), -2147483647 - 1);
    EXPECT_EQ(RegReadInteger(kUser, kKey, "high", 0), 2147483647);
    EXPECT_TRUE(RegReadBool(kUser, kKey, "on", false));
    EXPECT_FALSE(RegReadBool(kUser, kKey, "off", true));
    // Booleans are the numbers 1 and 0.
    EXPECT_NE(FileText().find("on=1"), std::string::npos);
    EXPECT_NE(FileText().find("off=0"), std::string::npos);
}

TEST_F(SettingsStoreTest, EmptyStringStaysEmpty) {
    EXPECT_TRUE(RegWriteString(kUser, kKey, "edtFileName", true, ""));
    const QString read = RegReadString(kUser, kKey, "edtFileName", "AutoGen");
    EXPECT_TRUE(read.isEmpty());
}

TEST_F(SettingsStoreTest, ValueOfTheWrongTypeReadsAsDefaultAndOthersStillLoad) {
    WriteFile("[General]\nnum=abc\nbig=4294967296\nflag=yes\nlist=a, b\ngood=7\ntext=fine\n");
    EXPECT_EQ(RegReadInteger(kUser, kKey, "num", 50), 50);
    EXPECT_EQ(RegReadInteger(kUser, kKey, "big", 50), 50);
    EXPECT_TRUE(RegReadBool(kUser, kKey, "flag", true));
    EXPECT_FALSE(RegReadBool(kUser, kKey, "flag", false));
    EXPECT_EQ(RegReadString(kUser, kKey, "list", "*.*"), "*.*");
    EXPECT_EQ(RegReadInteger(kUser, kKey, "good", 0), 7);
    EXPECT_EQ(RegReadString(kUser, kKey, "text", ""), "fine");
}

TEST_F(SettingsStoreTest, AnyNonZeroNumberIsTrue) {
    WriteFile("[General]\nseven=7\nminus=-1\nzero=0\n");
    EXPECT_TRUE(RegReadBool(kUser, kKey, "seven", false));
    EXPECT_TRUE(RegReadBool(kUser, kKey, "minus", false));
    EXPECT_FALSE(RegReadBool(kUser, kKey, "zero", true));
}

TEST_F(SettingsStoreTest, OneDeletedValueFallsBackAlone) {
    RegWriteInteger(kUser, kKey, "a", true, 1);
    RegWriteInteger(kUser, kKey, "b", true, 2);
    WriteFile("[General]\nb=2\n");
    EXPECT_EQ(RegReadInteger(kUser, kKey, "a", 10), 10);
    EXPECT_EQ(RegReadInteger(kUser, kKey, "b", 20), 2);
}

TEST_F(SettingsStoreTest, KeyThatCannotBeWrittenReportsFalseAndKeepsNothing) {
    // A folder where the settings file belongs: the write cannot land.
    QDir().mkpath(FFile);
    EXPECT_FALSE(RegWriteInteger(kUser, kKey, "a", true, 1));
    EXPECT_FALSE(RegWriteString(kUser, kKey, "s", true, "x"));
    EXPECT_EQ(RegReadInteger(kUser, kKey, "a", 5), 5);
    QDir(FFile).removeRecursively();
}

TEST_F(SettingsStoreTest, PathsAndNamesThatNameNoValueAreRefused) {
    EXPECT_FALSE(RegWriteInteger(kUser, "Software\\QMK", "a", true, 1));
    EXPECT_FALSE(RegWriteInteger(kUser, "Hardware\\QMK\\X", "a", true, 1));
    EXPECT_FALSE(RegWriteInteger(kUser, kKey, "group/a", true, 1));
    EXPECT_FALSE(RegWriteInteger(kUser, kKey, "", true, 1));
    EXPECT_EQ(RegReadInteger(kUser, "Software\\QMK", "a", 3), 3);
}

TEST_F(SettingsStoreTest, WrappersUseTheProgramsKey) {
    const QString file = StorageLocation(kUser, KeyPathOf(kSection));
    EXPECT_TRUE(file.endsWith("/QMK/FerVan.conf")) << file.toStdString();
    QFile::remove(file);
    WriteSettingInteger(kSection, "spnNumberOfFile", 77);
    WriteSettingString(kSection, "edtFileExt", "dat");
    WriteSettingBool(kSection, "radGB", true);
    EXPECT_TRUE(QFileInfo::exists(file));
    EXPECT_EQ(ReadSettingInteger(kSection, "spnNumberOfFile", 0), 77);
    EXPECT_EQ(ReadSettingString(kSection, "edtFileExt", ""), "dat");
    EXPECT_TRUE(ReadSettingBool(kSection, "radGB", false));
    QFile::remove(file);
}

} // namespace

int main(int argc, char** argv) {
    TempDir home;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
