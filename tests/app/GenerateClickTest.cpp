// "Create" on the real window writes the files the tab describes.
#include "AppTestMain.h"
#include "Controls.h"
#include "RecordingPresenter.h"
#include "app/FormMain.h"
#include "toolkit/TSpinEdit.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <memory>

class GenerateClickTest : public QObject {
    Q_OBJECT
private slots:
    void createWritesFiveRandomFilesOf10MB();
};

void GenerateClickTest::createWritesFiveRandomFilesOf10MB() {
    RecordingPresenter presenter;
    TempDir output;
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();

    Control<TSpinEdit>(form, "spnNumberOfFile")->setValue(5);
    QTest::mouseClick(Control<QPushButton>(form, "btn10MB"), Qt::LeftButton);
    Control<QRadioButton>(form, "radRandomName")->setChecked(true);
    Control<QRadioButton>(form, "radRandomContent")->setChecked(true);
    Control<QLineEdit>(form, "edtOutput")->setText(QString::fromStdString(output.Path()));
    QTest::mouseClick(Control<QPushButton>(form, "btnGenerate"), Qt::LeftButton);

    QVERIFY2(presenter.shown.empty(),
             presenter.shown.empty() ? "" : presenter.shown.front().text.c_str());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(output.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    QCOMPARE(names.size(), std::size_t{5});
    for (std::size_t i = 0; i < names.size(); ++i) {
        const QString name = QString::fromStdString(names[i]);
        QVERIFY2(QRegularExpression("^Stackwell " + QString::number(i + 1) + "[0-9]{1,8}\\.bin$")
                     .match(name)
                     .hasMatch(),
                 qPrintable(name));
        const std::string content = ReadAll(output / names[i]);
        QCOMPARE(content.size(), std::size_t{10485760});
        QCOMPARE(content.find('\xFF'), std::string::npos);
    }
    // The last text of the run is on the status bar, not only set.
    const QString shown = form->StatusBar->currentMessage();
    QVERIFY(shown.startsWith("Done in "));
    QVERIFY(shown.endsWith(" sec"));
    QCOMPARE(shown, form->Tasks().StatusText());
    QVERIFY(!form->Tasks().Busy());
    QVERIFY(form->btnCancel->isHidden());
}

FV_APP_TEST_MAIN(GenerateClickTest)

#include "GenerateClickTest.moc"
