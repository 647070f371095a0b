// The window's settings as one list of rows: the table's keys in the table's
// order, every row loads what it saved, and a save that fails is reported.
#include "AppTestMain.h"
#include "Controls.h"
#include "RecordingPresenter.h"
#include "SettingsFile.h"
#include "app/FormMain.h"
#include "app/SettingsBindings.h"
#include "app/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <iostream>
#include <memory>
#include <sstream>

namespace {

std::unique_ptr<TMainForm> StartProgram() {
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    return form;
}

QVariantList Snapshot(TMainForm& form) {
    TSettingsBindings rows;
    form.SettingsRows(rows);
    QVariantList values;
    for (const auto& row : rows.Rows())
        values << row.Get();
    return values;
}

// Captures what goes to stderr while it lives.
class StderrCapture {
public:
    StderrCapture() : FOld(std::cerr.rdbuf(FText.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(FOld); }
    std::string Text() const { return FText.str(); }

private:
    std::ostringstream FText;
    std::streambuf* FOld;
};

} // namespace

class SettingsRowsTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QFile::remove(SettingsFile()); }

    void rowsFollowTheTableOrder() {
        auto form = StartProgram();
        TSettingsBindings rows;
        form->SettingsRows(rows);
        QStringList keys;
        for (const auto& row : rows.Rows())
            keys << row.Key;
        // The 22 rows, in the order of the settings table.
        const QStringList expected = {
            "ActivePageIndex", "spnNumberOfFile", "spnSizeOfFile", "edtFileName",
            "edtOutput",       "edtFileExt",      "radB",          "radKB",
            "radMB",           "radGB",           "radRandomName", "radRandomContent",
            "radFillWithThis", "radPatern",       "chkUnique",     "spnBuf1",
            "spnBuf2",         "spnBufWipe",      "spnPass",       "chkBitRot",
            "edtMergeType",    "mmoSeparator"};
        QCOMPARE(keys, expected);
    }

    // Every row of every tab, set away from its default, comes back after a
    // restart.
    void everyRowRoundTrips() {
        QVariantList defaults;
        QVariantList saved;
        {
            auto form = StartProgram();
            defaults = Snapshot(*form);
            TSettingsBindings rows;
            form->SettingsRows(rows);
            // Fill text first, so the unique mark is kept when it loads.
            for (const auto& row : rows.Rows())
                if (row.Key == "radFillWithThis")
                    row.Set(true);
            for (const auto& row : rows.Rows()) {
                if (row.Type == TSettingsBindings::Kind::Integer)
                    row.Set(3);
                else if (row.Type == TSettingsBindings::Kind::String)
                    row.Set(row.Key + "-x");
                else if (row.Key != "radFillWithThis")
                    row.Set(!row.Default.toBool());
            }
            saved = Snapshot(*form);
            QVERIFY(rows.Save(SettingsStore::kSection));
        }
        QCOMPARE(saved.size(), defaults.size());
        int changed = 0;
        for (int i = 0; i < saved.size(); ++i)
            changed += saved[i] != defaults[i];
        QVERIFY2(changed >= saved.size() - 4, "most rows moved away from their defaults");
        auto form = StartProgram();
        QCOMPARE(Snapshot(*form), saved);
    }

    void aFailedSaveIsReportedToTheUserWhoClosed() {
        RecordingPresenter presenter;
        auto form = StartProgram();
        form->show();
        BlockTheSettingsFolder();
        StderrCapture err;
        form->close();
        QCOMPARE(presenter.shown.size(), size_t(1));
        QCOMPARE(presenter.shown[0].kind, QuillTPU::MessageKind::Error);
        QVERIFY(presenter.shown[0].text.find("settings could not be saved") != std::string::npos);
        form.reset(); // saved once only: no second report
        QCOMPARE(presenter.shown.size(), size_t(1));
        UnblockTheSettingsFolder();
    }

    void aFailedSaveAtAStopGoesToStderrWithoutABox() {
        RecordingPresenter presenter;
        auto form = StartProgram();
        BlockTheSettingsFolder();
        StderrCapture err;
        form.reset(); // destroyed without a close: the program was told to stop
        QVERIFY(presenter.shown.empty());
        QVERIFY(err.Text().find("settings could not be saved") != std::string::npos);
        UnblockTheSettingsFolder();
    }

private:
    // A file where the settings folder belongs: the save cannot write.
    static void BlockTheSettingsFolder() {
        const QString folder = QFileInfo(SettingsFile()).absolutePath();
        QDir(folder).removeRecursively();
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    static void UnblockTheSettingsFolder() {
        QFile::remove(QFileInfo(SettingsFile()).absolutePath());
    }
};

FV_APP_TEST_MAIN(SettingsRowsTest)
#include "SettingsRowsTest.moc"
