// The Merge files tab's wiring: the output name follows the folder until a
// key is pressed in it, the path box moves the folder list, the mask narrows
// the files, the colour cues, "Merge" joining the listed files, and the
// command line listing the same sources as the window.
#include "AppTestMain.h"
#include "CliProcess.h"
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

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

namespace {

void WriteFile(const std::filesystem::path& path, const char* text) {
    std::ofstream(path, std::ios::binary) << text;
}

QColor Base(QWidget* widget) {
    return widget->palette().color(QPalette::Base);
}

// Whether the folder's own order gives a longer name beginning with name
// before name itself.
bool LongerComesFirst(const std::filesystem::path& folder, const std::string& name) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string seen = entry.path().filename().string();
        if (seen == name)
            return false;
        if (seen.rfind(name, 0) == 0)
            return true;
    }
    return false;
}

// The names of the "files" array of the command line's --json result (plain
// names without escapes); empty when there is none.
QStringList JsonFiles(const std::string& json) {
    const std::string key = "\"files\": [";
    const auto begin = json.find(key);
    if (begin == std::string::npos)
        return {};
    const auto end = json.find(']', begin);
    QStringList names;
    for (auto at = json.find('"', begin + key.size()); at < end; at = json.find('"', at + 1)) {
        const auto close = json.find('"', at + 1);
        names << QString::fromStdString(json.substr(at + 1, close - at - 1));
        at = close;
    }
    return names;
}

} // namespace

class MergeTabTest : public QObject {
    Q_OBJECT
private slots:
    // The window's file list and ferrovane-cli merge pick the same sources in
    // the same order: case ignored in the order (a.txt before B.txt), hidden
    // files, folders and dangling links left out, a link to a file listed,
    // a file that matches two masks twice, only ";" between masks.
    void windowAndCommandLineListTheSameSources_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QStringList>("sources");
        QTest::newRow("every name")
            << "*.*" << QStringList{"a.txt", "B.txt", "c.log", "link.txt", "notes"};
        QTest::newRow("a file matching two masks")
            << "*.txt;a*" << QStringList{"a.txt", "a.txt", "B.txt", "link.txt"};
        QTest::newRow("masks in another case")
            << "b*;*.TXT;" << QStringList{"a.txt", "B.txt", "B.txt", "link.txt"};
        QTest::newRow("a blank belongs to its mask") << "*.log; *.txt" << QStringList{"c.log"};
        QTest::newRow("no mask") << "" << QStringList{};
    }
    void windowAndCommandLineListTheSameSources() {
        QFETCH(QString, mask);
        QFETCH(QStringList, sources);
        TempDir temp;
        const std::filesystem::path root = std::filesystem::canonical(temp.Path());
        const std::filesystem::path in = root / "in";
        std::filesystem::create_directories(in / "sub.txt");
        for (const char* name :
             {"B.txt", "a.txt", "c.log", "notes", ".hidden.txt", "sub.txt/x.txt"})
            WriteFile(in / name, name);
        std::filesystem::create_symlink(in / "a.txt", in / "link.txt");
        std::filesystem::create_symlink(in / "gone.txt", in / "dangling.txt");

        QVERIFY(QDir::setCurrent(QString::fromStdString(in.string())));
        auto form = std::make_unique<TMainForm>();
        form->LateInitialize();
        Control<QLineEdit>(form, "edtMergeType")->setText(mask);
        QStringList window;
        for (const std::string& name : Control<TQuillFileList>(form, "FileList")->ItemNames())
            window << QString::fromStdString(name);
        form.reset();
        QDir::setCurrent(QDir::rootPath());

        const CliResult cli = RunCli({"merge", "--json", "--replace", "--mask", mask.toStdString(),
                                      in.string(), (root / "out.txt").string()});
        QCOMPARE(cli.status, sources.isEmpty() ? 1 : 0);
        QCOMPARE(window, sources);
        QCOMPARE(JsonFiles(cli.out), sources);
    }

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

    // A folder beside longer names that begin with its own ("docs" and
    // "docsX", "photos" and "photos.zip"), listed by the file system before
    // it: starting there, or double-clicking it, shows that folder, its
    // files, and an output name in it, whatever the path box completes.
    void aFolderBesideLongerNamesIsTheOneShown() {
        for (const bool siblingFolders : {true, false}) {
            TempDir temp;
            const std::filesystem::path root = std::filesystem::canonical(temp.Path());
            const std::string name = siblingFolders ? "docs" : "photos";
            std::filesystem::create_directories(root / name);
            WriteFile(root / name / "a.txt", "A");
            for (int i = 0; !LongerComesFirst(root, name); ++i) {
                QVERIFY(i < 1000);
                const std::string longer = name + (siblingFolders ? "X" : ".zip") +
                                           (i == 0 ? std::string() : std::to_string(i));
                if (siblingFolders) {
                    std::filesystem::create_directories(root / longer);
                    WriteFile(root / longer / "x.txt", "X");
                } else {
                    WriteFile(root / longer, "zip");
                }
            }
            const QString folder = QString::fromStdString((root / name).string());
            QVERIFY(QDir::setCurrent(folder));
            auto form = std::make_unique<TMainForm>();
            form->LateInitialize();
            auto* edtPath = Control<TPathEdit>(form, "edtPath");
            auto* folders = Control<TFolderList>(form, "Directory");
            auto* files = Control<TQuillFileList>(form, "FileList");
            auto* edtOutput = Control<QLineEdit>(form, "edtMergeOutput");
            for (const bool byDoubleClick : {false, true}) {
                if (byDoubleClick) {
                    QVERIFY(folders->SetDirectory(QString::fromStdString(root.string())));
                    const int line = folders->Lines().indexOf(QString::fromStdString(name));
                    QVERIFY(line >= folders->PathLineCount());
                    folders->setCurrentRow(line);
                    QTest::keyClick(folders, Qt::Key_Return);
                }
                const QString how = byDoubleClick ? "opened " : "started in ";
                QCOMPARE(how + folders->Directory(), how + folder);
                QCOMPARE(how + edtPath->text(), how + folder);
                QCOMPARE(files->Items(), QStringList({"a.txt"}));
                QCOMPARE(edtOutput->text(), folder + "/Merge Output File.txt");
            }
            form.reset();
            QDir::setCurrent(QDir::rootPath());
        }
    }

    // Names that are not UTF-8 (Latin-1 from another system) are shown as
    // best they can be, and merged from their own bytes.
    void namesThatAreNotUtf8AreMerged() {
        TempDir temp;
        const std::filesystem::path root = std::filesystem::canonical(temp.Path());
        WriteFile(root / "caf\xE9.txt", "E9");
        WriteFile(root / "\xFF.txt", "FF");
        WriteFile(root / "plain.txt", "P");
        QVERIFY(QDir::setCurrent(QString::fromStdString(root.string())));
        auto form = std::make_unique<TMainForm>();
        form->LateInitialize();
        Control<TMemo>(form, "mmoSeparator")->SetText("|");
        QCOMPARE(Control<TQuillFileList>(form, "FileList")->Items().size(), 3);
        Control<QPushButton>(form, "btnMerge")->click();
        std::ifstream in(root / "Merge Output File.txt", std::ios::binary);
        std::string merged((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::sort(merged.begin(), merged.end());
        std::string expected = "E9|FF|P|";
        std::sort(expected.begin(), expected.end());
        QCOMPARE(merged, expected);
        form.reset();
        QDir::setCurrent(QDir::rootPath());
    }
};

FV_APP_TEST_MAIN(MergeTabTest)
#include "MergeTabTest.moc"
