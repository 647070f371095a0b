// The Merge files tab's wiring: the output name follows the folder until a
// key is pressed in it, the path box moves the folder list, the mask narrows
// the files, the colour cues, and "Merge" joining the listed files.
#include "AppTestMain.h"
#include "Controls.h"
#include "app/FormMain.h"
#include "components/PATHEdit.h"
#include "components/QuillFileListBox.h"
#include "toolkit/FolderList.h"
#include "toolkit/TMemo.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

namespace {

void WriteFile(const std::filesystem::path& path, const char* text) {
    std::ofstream(path, std::ios::binary) << text;
}

QColor Base(QWidget* widget) {
    return widget->palette().color(QPalette::Base);
}

} // namespace

class MergeTabTest : public QObject {
    Q_OBJECT
private slots:
    void browserOutputNameAndMerge() {
        TempDir temp;
        const std::filesystem::path root = std::filesystem::canonical(temp.Path());
        std::filesystem::create_directories(root / "a");
        std::filesystem::create_directories(root / "b");
        WriteFile(root / "a" / "x.txt", "X");
        WriteFile(root / "a" / "y.log", "Y");
        WriteFile(root / "a" / "z.txt", "Z");
        const QString rootName = QString::fromStdString(root.string());
        const QString a = rootName + "/a";
        const QString b = rootName + "/b";
        QVERIFY(QDir::setCurrent(rootName)); // the folder list's first folder

        auto form = std::make_unique<TMainForm>();
        form->LateInitialize();
        auto* edtPath = Control<TPathEdit>(form, "edtPath");
        auto* edtOutput = Control<QLineEdit>(form, "edtMergeOutput");
        auto* edtType = Control<QLineEdit>(form, "edtMergeType");
        auto* folders = Control<TFolderList>(form, "Directory");
        auto* files = Control<TQuillFileList>(form, "FileList");
        auto* separator = Control<TMemo>(form, "mmoSeparator");
        QCOMPARE(edtPath->text(), rootName);
        QCOMPARE(edtOutput->text(), rootName + "/Merge Output File.txt");

        // The path box moves the folder list and keeps what was typed.
        edtPath->setText(a + "/");
        QCOMPARE(folders->Directory(), a);
        QCOMPARE(edtPath->text(), a + "/");
        QCOMPARE(edtOutput->text(), a + "/Merge Output File.txt");

        edtType->setText("*.txt;*.log");
        QCOMPARE(files->Items(), QStringList({"x.txt", "y.log", "z.txt"}));
        edtType->setText("");
        QVERIFY(files->Items().isEmpty());
        edtType->setText("*.txt");
        QCOMPARE(files->Items(), QStringList({"x.txt", "z.txt"}));

        // Passing through with Tab leaves the name to the folder list; any
        // other key makes it the user's, and the folder list then leaves it.
        const QPalette before = edtOutput->palette();
        QTest::keyClick(edtOutput, Qt::Key_Tab);
        QTest::keyClick(edtOutput, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(Base(edtOutput), before.color(QPalette::Base));
        QTest::keyClick(edtOutput, Qt::Key_Right);
        QCOMPARE(Base(edtOutput), QColor(0, 248, 254));
        QVERIFY(folders->SetDirectory(b));
        QCOMPARE(edtPath->text(), b);
        QCOMPARE(edtOutput->text(), a + "/Merge Output File.txt");
        QVERIFY(folders->SetDirectory(a));

        separator->SetText("");
        QCOMPARE(Base(separator), QColor(197, 223, 197));
        separator->SetText("--\n");
        QCOMPARE(Base(separator), QColor(176, 176, 246));

        edtOutput->setText(rootName + "/out.bin");
        Control<QPushButton>(form, "btnMerge")->click();
        QFile out(rootName + "/out.bin");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), QByteArray("X--\r\nZ--\r\n"));
        QDir::setCurrent(QDir::rootPath()); // let the temporary folder go
    }
};

FV_APP_TEST_MAIN(MergeTabTest)
#include "MergeTabTest.moc"
