// "Full test" on the Drive speed tab: the eight figures of the chosen drive,
// taken by the full test's run and appended to the log as a small table.
#include "app/tabs/SpeedTab.h"

#include "app/FormBuilders.h"
#include "components/QuillMemo.h"
#include "platform/DriveWork.h"
#include "toolkit/TDriveComboBox.h"
#include "tools/profile/ProfileRun.h"
#include "util/Drives.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextCursor>

#include <cctype>

using namespace FormBuilders;

namespace {

constexpr const char* kFullTestHint =
    "Eight measurements of about 6 s each: sequential 1 MiB at queue depth 8 and 1, random 4 KiB "
    "at queue depth 32 and 1, read and write.";

// The figures' table lines up its columns with spaces, so it is set in the
// fixed-pitch font at the log's size; the text stays plain for a screen
// reader and a copy, and the other lines keep the log's own font.
void AppendLine(TQuillMemo& memo, const std::string& line, bool table) {
    QTextCharFormat format;
    if (table) {
        QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        if (memo.font().pointSizeF() > 0)
            fixed.setPointSizeF(memo.font().pointSizeF());
        else
            fixed.setPixelSize(memo.font().pixelSize());
        format.setFont(fixed);
    }
    QTextCursor end(memo.document());
    end.movePosition(QTextCursor::End);
    if (!memo.document()->isEmpty())
        end.insertBlock(QTextBlockFormat(), format);
    end.insertText(QString::fromStdString(line), format);
    memo.ScrollAtEnd();
}

} // namespace

void TSpeedTab::BuildFullTestButton(QHBoxLayout* row) {
    btnFullTest = NewButton(this, "btnFullTest", "Full test");
    btnFullTest->setToolTip(Hint(kFullTestHint));
    btnFullTest->setAccessibleDescription(kFullTestHint);
    row->addSpacing(8);
    row->addWidget(btnFullTest);
    ConnectTask(btnFullTest, &TSpeedTab::btnFullTestClick);
}

void TSpeedTab::btnFullTestClick() {
    const std::optional<Platform::ChosenDrive> chosen = ChosenDriveOf(*drvSpeed);
    Profile::ChosenDriveInputs controls(chosen, Host().BufferSizes().SpeedTestFileMB());
    Profile::ProfileRun run(Host().Tasks(), controls);
    auto append = [this](const std::string& line) { AppendLine(*mmoSpeed, line, false); };
    append("");
    append("");
    append(controls.DriveName() + "   -   " +
           (chosen ? QuillTPU::VolumeLabelText(chosen->drive, false) : std::string("[]")));
    run.Execute();
    if (!run.Results().empty())
        for (const std::string& line : Profile::ResultTable(run))
            AppendLine(*mmoSpeed, line, true);
}
