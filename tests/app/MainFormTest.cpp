// The window as a user meets it: first start, settings kept between starts,
// the generator tab's size model and dependent controls, the spin boxes, the
// links, accessibility and the keyboard order.
#include "AppTestMain.h"
#include "RecordingPresenter.h"
#include "app/FormMain.h"
#include "app/SettingsStore.h"
#include "toolkit/SystemHelpers.h"
#include "toolkit/TImage.h"
#include "toolkit/TMemo.h"
#include "toolkit/TSpinEdit.h"
#include "util/QuillTPU.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <memory>

namespace {

QString SettingsFile() {
    return SettingsStore::StorageLocation(SettingsStore::RegRoot::CurrentUser,
                                          SettingsStore::KeyPathOf(SettingsStore::kSection));
}

std::unique_ptr<TMainForm> StartProgram() {
    auto form = std::make_unique<TMainForm>();
    form->LateInitialize();
    form->show();
    return form;
}

QString FileText() {
    QFile f(SettingsFile());
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// Removes one line "name=..." from the settings file.
void DeleteSetting(const QString& name) {
    QString text = FileText();
    QStringList lines = text.split('\n');
    lines.removeIf([&](const QString& l) { return l.startsWith(name + "="); });
    QFile f(SettingsFile());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(lines.join('\n').toUtf8());
}

void ReplaceSetting(const QString& name, const QString& value) {
    DeleteSetting(name);
    QFile f(SettingsFile());
    QVERIFY(f.open(QIODevice::Append));
    f.write(("\n" + name + "=" + value + "\n").toUtf8());
}

// A click on the radio's round mark, as a user aims it.
void ClickRadio(QRadioButton* radio) {
    QTest::mouseClick(radio, Qt::LeftButton, {}, QPoint(7, radio->height() / 2));
}

} // namespace

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QFile::remove(SettingsFile());
        FPresenter = std::make_unique<RecordingPresenter>();
        FShell = std::make_unique<RecordingShell>();
    }
    void cleanup() {
        FShell.reset();
        FPresenter.reset();
    }

    void firstStartShowsDefaultsAndTheGeneratorTab() {
        auto form = StartProgram();
        QCOMPARE(form->pagCrtl->currentIndex(), 0);
        QCOMPARE(form->pagCrtl->currentWidget(), form->tabMain);
        QCOMPARE(form->spnNumberOfFile->value(), 50);
        QCOMPARE(form->spnSizeOfFile->value(), 1024);
        QCOMPARE(form->edtFileName->text(), QString("AutoGen"));
        QCOMPARE(form->edtOutput->text().toStdString(), QuillTPU::AppFolder());
        QVERIFY(form->edtOutput->text().endsWith('/'));
        QCOMPARE(form->edtFileExt->text(), QString("Bin"));
        QVERIFY(form->radMB->isChecked());
        QVERIFY(form->radRandomName->isChecked());
        QVERIFY(form->radRandomContent->isChecked());
        QVERIFY(!form->chkUnique->isChecked());
        QVERIFY(!form->pnlName->isVisible());
        QVERIFY(!form->mmoFillText->isEnabled());
        QVERIFY(!form->chkUnique->isVisible());
        QCOMPARE(form->spnBuf1->value(), 10240);
        QCOMPARE(form->spnBuf2->value(), 256);
        QCOMPARE(form->spnBufWipe->value(), 64);
        QCOMPARE(form->lblSize->text(), QString("File size: 1.0 GB / Total size: 50.0 GB"));
        QVERIFY(!form->btnCancel->isVisible());
        QVERIFY(FPresenter->shown.empty());
    }

    void windowFrame() {
        auto form = StartProgram();
        QCOMPARE(form->windowTitle(), QString("Stackwell  -  https://quillmark.example"));
        QCOMPARE(form->minimumSize(), QSize(450, 670));
        QVERIFY(qAbs(form->windowOpacity() - 248.0 / 255.0) < 0.01);
        const QStringList captions = {"Stackwell",  "Drive speed", "Data wipe",
                                      "Disk space", "Merge files", "Settings"};
        const QStringList names = {"tabMain",  "tabDiskSpeed", "tabWipe",
                                   "tabSpace", "tabMerge",     "tabSettings"};
        QCOMPARE(form->pagCrtl->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(form->pagCrtl->tabText(i), captions[i]);
            QCOMPARE(form->pagCrtl->widget(i)->objectName(), names[i]);
        }
        QCOMPARE(form->TabMerge(), form->pagCrtl->widget(4));
        // Every tab caption is readable at the smallest size.
        form->resize(form->minimumSize());
        QTest::qWait(10);
        QVERIFY(form->pagCrtl->tabBar()->sizeHint().width() <= form->pagCrtl->width());
        // The page control follows the window; the bottom bar stays below it.
        form->resize(700, 900);
        QTest::qWait(10);
        QVERIFY(form->pagCrtl->height() > 700);
        QVERIFY(form->Panel2->geometry().top() >= form->pagCrtl->geometry().bottom());
    }

    void settingsSurviveARestart() {
        {
            auto form = StartProgram();
            form->pagCrtl->setCurrentIndex(4);
            form->spnNumberOfFile->setValue(123);
            form->btnDVD->click();
            form->radGB->setChecked(true);
            form->radPatern->setChecked(true);
            form->radFillWithThis->setChecked(true);
            form->chkUnique->setChecked(true);
            form->edtFileName->setText("Part");
            form->edtFileExt->setText("dat");
            form->edtOutput->setText("/tmp/out/");
            form->spnBuf1->setValue(2048);
            form->spnBuf2->setValue(64);
            form->spnBufWipe->setValue(128);
            form->close();
        }
        const QString text = FileText();
        QVERIFY(text.contains("ActivePageIndex=4"));
        QVERIFY(text.contains("radGB=1"));
        QVERIFY(text.contains("radMB=0"));
        auto form = StartProgram();
        QCOMPARE(form->pagCrtl->currentWidget(), form->tabMerge);
        QCOMPARE(form->spnNumberOfFile->value(), 123);
        QCOMPARE(form->spnSizeOfFile->value(), 4812);
        QVERIFY(form->radGB->isChecked());
        QVERIFY(!form->radMB->isChecked());
        QVERIFY(form->radPatern->isChecked());
        QVERIFY(form->radFillWithThis->isChecked());
        QVERIFY(form->chkUnique->isChecked());
        QCOMPARE(form->edtFileName->text(), QString("Part"));
        QCOMPARE(form->edtFileExt->text(), QString("dat"));
        QCOMPARE(form->edtOutput->text(), QString("/tmp/out/"));
        QCOMPARE(form->spnBuf1->value(), 2048);
        QCOMPARE(form->spnBuf2->value(), 64);
        QCOMPARE(form->spnBufWipe->value(), 128);
        // Loading ran the handlers: the dependent controls follow.
        form->pagCrtl->setCurrentIndex(0);
        QVERIFY(form->pnlName->isVisible());
        QVERIFY(form->mmoFillText->isEnabled());
        QVERIFY(form->chkUnique->isVisible());
        QCOMPARE(
            form->lblSize->text(),
            QString::fromStdString("File size: " + QuillTPU::FormatSize(4812LL << 30) +
                                   " / Total size: " + QuillTPU::FormatSize((4812LL << 30) * 123)));
    }

    void aDeletedSettingFallsBackAlone() {
        {
            auto form = StartProgram();
            form->spnNumberOfFile->setValue(7);
            form->spnSizeOfFile->setValue(9);
        }
        DeleteSetting("spnNumberOfFile");
        auto form = StartProgram();
        QCOMPARE(form->spnNumberOfFile->value(), 50);
        QCOMPARE(form->spnSizeOfFile->value(), 9);
    }

    void aSettingOfTheWrongTypeFallsBackAndTheRestLoads() {
        {
            auto form = StartProgram();
            form->spnSizeOfFile->setValue(9);
            form->pagCrtl->setCurrentIndex(5);
        }
        ReplaceSetting("spnNumberOfFile", "lots");
        ReplaceSetting("radPatern", "maybe");
        ReplaceSetting("spnBuf1", "999999999");
        auto form = StartProgram();
        QCOMPARE(form->spnNumberOfFile->value(), 50);
        QVERIFY(form->radRandomName->isChecked());
        QCOMPARE(form->spnSizeOfFile->value(), 9);
        QCOMPARE(form->pagCrtl->currentIndex(), 5);
        // A number out of range is brought into the box's range.
        QCOMPARE(form->spnBuf1->value(), 102400);
        QVERIFY(FPresenter->shown.empty());
    }

    void emptyTextsStayEmpty() {
        {
            auto form = StartProgram();
            form->edtFileName->clear();
            form->edtFileExt->clear();
        }
        auto form = StartProgram();
        QCOMPARE(form->edtFileName->text(), QString());
        QCOMPARE(form->edtFileExt->text(), QString());
    }

    void aStoredUniqueMarkWithoutFillTextIsDropped() {
        { auto form = StartProgram(); }
        ReplaceSetting("chkUnique", "1");
        auto form = StartProgram();
        QVERIFY(form->radRandomContent->isChecked());
        QVERIFY(!form->chkUnique->isChecked());
    }

    void quickSizeButtons_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("value");
        QTest::newRow("1.4 MB") << "btnFloppy" << qint64(1467392) << "radKB" << 1433;
        QTest::newRow("10 MB") << "btn10MB" << qint64(10485760) << "radMB" << 10;
        QTest::newRow("650 MB") << "btnCD1" << qint64(681574400) << "radMB" << 650;
        QTest::newRow("700 MB") << "btn700MB" << qint64(734003200) << "radMB" << 700;
        QTest::newRow("1 GB") << "btn1GB" << qint64(1073741824) << "radMB" << 1024;
        QTest::newRow("2 GB") << "btn2GB" << qint64(2147483648) << "radMB" << 2048;
        QTest::newRow("4 GB") << "btn4GB" << qint64(4294967296) << "radMB" << 4096;
        QTest::newRow("4.7 GB") << "btnDVD" << qint64(5045747712) << "radMB" << 4812;
    }
    void quickSizeButtons() {
        QFETCH(QString, button);
        QFETCH(qint64, bytes);
        QFETCH(QString, unit);
        QFETCH(int, value);
        auto form = StartProgram();
        form->radGB->setChecked(true);
        form->spnSizeOfFile->setValue(3);
        QTest::mouseClick(form->findChild<QPushButton*>(button), Qt::LeftButton);
        QCOMPARE(form->ComputeFileSize(), bytes);
        QVERIFY(form->findChild<QRadioButton*>(unit)->isChecked());
        QCOMPARE(form->spnSizeOfFile->value(), value);
        QVERIFY(form->lblSize->text().startsWith(
            QString::fromStdString("File size: " + QuillTPU::FormatSize(bytes) + " / ")));
    }

    void sizeLineFollowsSizeAndUnitButNotTheNumberOfFiles() {
        auto form = StartProgram();
        form->spnNumberOfFile->setValue(2);
        QCOMPARE(form->lblSize->text(), QString("File size: 1.0 GB / Total size: 50.0 GB"));
        form->spnSizeOfFile->setValue(3);
        QCOMPARE(form->lblSize->text(), QString("File size: 3.0 MB / Total size: 6.0 MB"));
        form->spnNumberOfFile->setValue(4);
        ClickRadio(form->radKB);
        QCOMPARE(form->lblSize->text(), QString("File size: 3.0 KB / Total size: 12.0 KB"));
        form->radB->setChecked(true);
        QCOMPARE(form->lblSize->text(), QString("File size: 3 Bytes / Total size: 12 Bytes"));
    }

    void largestSizeIsComputedWithoutOverflow() {
        auto form = StartProgram();
        form->radGB->setChecked(true);
        form->spnSizeOfFile->setValue(10000000);
        QCOMPARE(form->ComputeFileSize(), qint64(10737418240000000));
        // A total beyond 64 bits is named, not wrapped.
        form->spnNumberOfFile->setValue(2100000000);
        form->spnSizeOfFile->setValue(9999999);
        QVERIFY(form->lblSize->text().endsWith("more than 8 EB"));
        QVERIFY(FPresenter->shown.empty());
    }

    void namingRadiosShowAndHideThePattern() {
        auto form = StartProgram();
        ClickRadio(form->radPatern);
        QVERIFY(form->pnlName->isVisible());
        QVERIFY(form->edtFileName->isVisible());
        QVERIFY(form->edtFileExt->isVisible());
        ClickRadio(form->radRandomName);
        QVERIFY(!form->pnlName->isVisible());
    }

    void contentRadiosKeepTextAndUniqueInStep() {
        auto form = StartProgram();
        ClickRadio(form->radFillWithThis);
        QVERIFY(form->mmoFillText->isEnabled());
        QVERIFY(form->chkUnique->isVisible());
        QVERIFY(!form->chkUnique->isChecked());
        form->chkUnique->setChecked(true);
        ClickRadio(form->radRandomContent);
        QVERIFY(!form->mmoFillText->isEnabled());
        QVERIFY(!form->chkUnique->isVisible());
        QVERIFY(!form->chkUnique->isChecked());
        ClickRadio(form->radFillWithThis);
        QVERIFY(form->chkUnique->isVisible());
        QVERIFY(!form->chkUnique->isChecked());
    }

    void aRadioCheckedByTheProgramRunsItsHandlerOnlyWhenItWasUnchecked() {
        auto form = StartProgram();
        form->radPatern->setChecked(true);
        QVERIFY(form->pnlName->isVisible());
        form->pnlName->setVisible(false);
        form->radPatern->setChecked(true); // already checked: no handler
        QVERIFY(!form->pnlName->isVisible());
        form->radRandomName->setChecked(true);
        form->radPatern->setChecked(true);
        QVERIFY(form->pnlName->isVisible());
    }

    void defaultFillTextAndItsLimit() {
        auto form = StartProgram();
        const QString line = QString("dummy text ").repeated(7);
        QCOMPARE(form->mmoFillText->Text().split('\n').size(), 15);
        QCOMPARE(form->mmoFillText->Text().split('\n').first(), line);
        QCOMPARE(form->mmoFillText->Text().split('\n').last(), QString("dummy text "));
        ClickRadio(form->radFillWithThis);
        FPresenter->shown.clear();

        form->mmoFillText->SetText(QString(1024, 'x'));
        QVERIFY(FPresenter->shown.empty());
        form->mmoFillText->SetText(QString(1500, 'y'));
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(FPresenter->shown[0].text, std::string("Maximum 1024 characters!"));
        QCOMPARE(FPresenter->shown[0].kind, QuillTPU::MessageKind::Plain);
        QCOMPARE(form->mmoFillText->Text(), QString(1024, 'y'));
        // A line break counts as the two characters the run writes, and a cut
        // never leaves half of one.
        FPresenter->shown.clear();
        form->mmoFillText->SetText(QString(1022, 'a') + "\nbcd");
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(form->mmoFillText->Text(), QString(1022, 'a') + "\n");
        QCOMPARE(form->FillText().size(), size_t(1024));
        form->mmoFillText->SetText(QString(1023, 'a') + "\nb");
        QCOMPARE(FPresenter->shown.size(), size_t(2));
        QCOMPARE(form->mmoFillText->Text(), QString(1023, 'a'));
        form->mmoFillText->SetText("ab\ncd");
        QCOMPARE(form->FillText(), std::u16string(u"ab\r\ncd"));
        // Every character goes to the file as typed: a no-break space is no
        // plain space.
        form->mmoFillText->SetText(QString::fromUtf16(u"a\u00A0b"));
        QCOMPARE(form->FillText(), std::u16string(u"a\u00A0b"));
        // Typing past the limit is cut the same way.
        form->mmoFillText->SetText(QString(1024, 'z'));
        FPresenter->shown.clear();
        form->mmoFillText->setFocus();
        form->mmoFillText->moveCursor(QTextCursor::End);
        QTest::keyClicks(form->mmoFillText, "!");
        QCOMPARE(FPresenter->shown.size(), size_t(1));
        QCOMPARE(form->mmoFillText->Text(), QString(1024, 'z'));
    }

    void memoAndEditAnnounceOnlyRealChanges() {
        TMemo memo;
        QSignalSpy changed(&memo, &TMemo::Changed);
        memo.SetText("one");
        memo.SetText("one");
        QCOMPARE(changed.count(), 1);
        memo.SetText("two");
        QCOMPARE(changed.count(), 2);
        QLineEdit edit;
        QSignalSpy edited(&edit, &QLineEdit::textChanged);
        edit.setText("a");
        edit.setText("a");
        QCOMPARE(edited.count(), 1);
    }

    void spinBoxesKeepTheirValueInRange() {
        auto form = StartProgram();
        TSpinEdit* spin = form->spnSizeOfFile;
        spin->setValue(0);
        QCOMPARE(spin->value(), 1);
        spin->setValue(20000000);
        QCOMPARE(spin->value(), 10000000);
        QCOMPARE(spin->singleStep(), 1);
        QCOMPARE(form->spnNumberOfFile->singleStep(), 10);
        QCOMPARE(form->spnBuf1->singleStep(), 1024);
        QCOMPARE(form->spnBuf2->singleStep(), 8);
        QCOMPARE(form->spnBufWipe->singleStep(), 8);
        QCOMPARE(form->spnBuf1->maximum(), 102400);
        QCOMPARE(form->spnBuf2->maximum(), 50000);

        // Typed text that is no number becomes the minimum when the box is
        // left; a number above the range becomes the maximum.
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        TSpinEdit* files = form->spnNumberOfFile;
        files->setFocus();
        files->selectAll();
        QTest::keyClick(files, Qt::Key_Backspace);
        QTest::keyClicks(files, "-");
        form->spnSizeOfFile->setFocus();
        QCOMPARE(files->value(), 1);
        QCOMPARE(files->text(), QString("1"));
        files->setFocus();
        files->selectAll();
        QTest::keyClicks(files, "99999999999");
        form->spnSizeOfFile->setFocus();
        QCOMPARE(files->value(), 2100000000);
        // Arrows move by the step.
        files->setFocus();
        files->setValue(5);
        QTest::keyClick(files, Qt::Key_Up);
        QCOMPARE(files->value(), 15);
        QTest::keyClick(files, Qt::Key_Down);
        QTest::keyClick(files, Qt::Key_Down);
        QCOMPARE(files->value(), 1);
        // At most 12 characters in the size box.
        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, "12345678901234");
        QVERIFY(spin->text().size() <= 12);
        QCOMPARE(TSpinEdit::TextToNumber("abc", 7), qint64(7));
        QCOMPARE(TSpinEdit::TextToNumber(" 42 ", 7), qint64(42));
    }

    void supportMoreToolsAndLogosOpenTheirPages() {
        auto form = StartProgram();
        QTest::mouseClick(form->btnSupport, Qt::LeftButton);
        QTest::mouseClick(form->btnMore, Qt::LeftButton);
        QTest::mouseClick(form->imgLogo, Qt::LeftButton);
        form->pagCrtl->setCurrentWidget(form->tabSettings);
        QTest::mouseClick(form->imgLogo2, Qt::LeftButton);
        const std::vector<std::string> expected = {std::string(TMainForm::kSupportUrl) + "|",
                                                   std::string(TMainForm::kMoreToolsUrl) + "|",
                                                   std::string(TMainForm::kMoreToolsUrl) + "|",
                                                   std::string(TMainForm::kMoreToolsUrl) + "|"};
        QCOMPARE(FShell->opened, expected);
        for (const std::string& url : FShell->opened)
            QVERIFY(url.rfind("https://quillmark.example/", 0) == 0);
    }

    void hintsAreTheDesignsTexts() {
        auto form = StartProgram();
        QCOMPARE(form->spnNumberOfFile->toolTip(), QString("Specify here number of files."));
        QCOMPARE(form->radFillWithThis->toolTip(),
                 QString("The text in the box bellow will be used to fill the generated "
                         "files.\nThe text will be added over and over until the file reaches "
                         "the specified size."));
        QVERIFY(form->edtFileName->toolTip().startsWith("[File name]\n\nThe program will"));
        QVERIFY(form->edtFileName->toolTip().contains("\n  File01.BIN\n  File02.BIN\n"));
        QCOMPARE(form->edtFileExt->toolTip(), QString("[File extension]"));
        QCOMPARE(form->lblBufferSize->toolTip(), QString("Applied only to the Stackwell"));
        QVERIFY(form->spnBuf1->toolTip().startsWith(
            "If the size of the file to be generated is smaller than this value, \nthen"));
        QVERIFY(form->spnBuf2->toolTip().endsWith("careful not to run out of RAM."));
        QCOMPARE(form->lblInfo->text(), QString("For high speed we recommend a minimum of 64MB"));
        QVERIFY(!form->lblInfo->isEnabled());
    }

    void everyControlHasAnAccessibleName() {
        auto form = StartProgram();
        for (QWidget* page :
             {form->TabMain(), form->TabSettings(), static_cast<QWidget*>(form->Panel2)}) {
            for (QWidget* w : page->findChildren<QWidget*>()) {
                if (qobject_cast<QLabel*>(w) && !qobject_cast<TImage*>(w))
                    continue;
                // The edit inside a spin box speaks through the spin box.
                if (qobject_cast<QAbstractSpinBox*>(w->parentWidget()))
                    continue;
                if (w->focusPolicy() == Qt::NoFocus && !qobject_cast<TImage*>(w) &&
                    !qobject_cast<QGroupBox*>(w))
                    continue;
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            }
        }
        QCOMPARE(form->spnNumberOfFile->accessibleName(), QString("Number of files"));
        QCOMPARE(form->spnSizeOfFile->accessibleName(), QString("File size"));
        QCOMPARE(form->edtOutput->accessibleName(), QString("Output folder"));
        QCOMPARE(form->spnBuf2->accessibleName(), QString("Test file size (in MB)"));
        QCOMPARE(form->Label11->buddy(), form->spnBufWipe);
        QCOMPARE(form->lblFileName->buddy(), form->edtFileName);
    }

    void tabMovesThroughTheGeneratorTabInOrder() {
        auto form = StartProgram();
        form->radPatern->setChecked(true);
        form->radFillWithThis->setChecked(true);
        const QList<QWidget*> expected = {
            form->spnNumberOfFile, form->spnSizeOfFile, form->radMB,      form->btnFloppy,
            form->btn10MB,         form->btnCD1,        form->btn700MB,   form->btn1GB,
            form->btn2GB,          form->btn4GB,        form->btnDVD,     form->radPatern,
            form->edtOutput,       form->edtFileName,   form->edtFileExt, form->radFillWithThis,
            form->chkUnique,       form->mmoFillText,   form->btnGenerate};
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->spnNumberOfFile->setFocus();
        for (int i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // A spin box gives the focus to its inner edit.
            while (focus && !expected.contains(focus) && focus->parentWidget() &&
                   focus->parentWidget() != form->tabMain)
                focus = focus->parentWidget();
            QCOMPARE(focus, expected[i]);
        }
        // And back again.
        for (int i = expected.size() - 2; i >= 0; --i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
            QWidget* focus = QApplication::focusWidget();
            while (focus && !expected.contains(focus) && focus->parentWidget() &&
                   focus->parentWidget() != form->tabMain)
                focus = focus->parentWidget();
            QCOMPARE(focus, expected[i]);
        }
        // Arrows move within a radio group and check the button.
        form->radMB->setFocus(Qt::TabFocusReason);
        QTest::keyClick(form->radMB, Qt::Key_Down);
        QVERIFY(form->radGB->isChecked());
    }

    void doubleBufferingReachesEveryWindowedControl() {
        auto form = StartProgram();
        QuillTPU::SetDoubleBufferedAll(form.get(), false);
        QCOMPARE(form->pnlName->property("doubleBuffered").toBool(), false);
        QuillTPU::SetDoubleBufferedAll(form.get(), true);
        QCOMPARE(form->property("doubleBuffered").toBool(), true);
        QCOMPARE(form->pnlName->property("doubleBuffered").toBool(), true);
        QCOMPARE(form->edtFileExt->property("doubleBuffered").toBool(), true);
        QCOMPARE(form->btnDVD->property("doubleBuffered").toBool(), true);
        QVERIFY(!form->Label5->property("doubleBuffered").isValid());
        QVERIFY(!form->imgLogo->property("doubleBuffered").isValid());
    }

private:
    std::unique_ptr<RecordingPresenter> FPresenter;
    std::unique_ptr<RecordingShell> FShell;
};

FV_APP_TEST_MAIN(MainFormTest)
#include "MainFormTest.moc"
