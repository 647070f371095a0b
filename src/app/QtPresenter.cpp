#include "app/QtPresenter.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <memory>

namespace {

QMessageBox::Icon IconOf(QuillTPU::MessageKind kind) {
    switch (kind) {
    case QuillTPU::MessageKind::Warning:
        return QMessageBox::Warning;
    case QuillTPU::MessageKind::Error:
        return QMessageBox::Critical;
    case QuillTPU::MessageKind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox* NewBox(QMessageBox::Icon icon, const std::string& caption, const std::string& text) {
    auto* box =
        new QMessageBox(icon, QString::fromStdString(caption), TQtPresenter::DisplayText(text),
                        QMessageBox::Ok, QApplication::activeWindow());
    box->setTextFormat(Qt::PlainText);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return box;
}

int Exec(QMessageBox* box) {
    std::unique_ptr<QMessageBox> owner(box);
    return box->exec();
}

} // namespace

QString TQtPresenter::DisplayText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

QMessageBox* TQtPresenter::BuildMessageBox(QuillTPU::MessageKind kind, const std::string& caption,
                                           const std::string& text) {
    return NewBox(IconOf(kind), caption, text);
}

QMessageBox* TQtPresenter::BuildReportBox(const std::string& caption, const std::string& text) {
    QMessageBox* box = NewBox(QMessageBox::Critical, caption, text);
    // The report asks the user to press Control+C; the box must answer it
    // with its whole text, not only a selection.
    auto* copy = new QShortcut(QKeySequence::Copy, box);
    copy->setContext(Qt::WindowShortcut);
    QObject::connect(copy, &QShortcut::activated, box, [box] {
        QGuiApplication::clipboard()->setText(box->windowTitle() + QStringLiteral("\n\n") +
                                              box->text());
    });
    return box;
}

QMessageBox* TQtPresenter::BuildConfirmBox(const std::string& caption, const std::string& text) {
    QMessageBox* box = NewBox(QMessageBox::Question, caption, text);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(QMessageBox::No);
    return box;
}

QMessageBox* TQtPresenter::BuildKeepBox(const std::string& caption, const std::string& text) {
    QMessageBox* box = BuildConfirmBox(caption, text);
    box->setDefaultButton(QMessageBox::Yes);
    box->setEscapeButton(box->button(QMessageBox::Yes));
    return box;
}

void TQtPresenter::ShowMessage(QuillTPU::MessageKind kind, const std::string& caption,
                               const std::string& text) {
    Exec(BuildMessageBox(kind, caption, text));
}

void TQtPresenter::ShowReport(const std::string& caption, const std::string& text) {
    Exec(BuildReportBox(caption, text));
}

bool TQtPresenter::Confirm(const std::string& caption, const std::string& text) {
    return Exec(BuildConfirmBox(caption, text)) == QMessageBox::Yes;
}

bool TQtPresenter::ConfirmUnlessNo(const std::string& caption, const std::string& text) {
    return Exec(BuildKeepBox(caption, text)) != QMessageBox::No;
}

bool TQtShell::OpenDocument(const std::string& target, const std::string& parameters) {
    const QString what = QString::fromStdString(target);
    if (what.isEmpty())
        return false;
    if (!parameters.empty()) {
        // Parameters only make sense for a program, which is started as such.
        return QProcess::startDetached(what,
                                       QProcess::splitCommand(QString::fromStdString(parameters)));
    }
    const QUrl url = QUrl::fromUserInput(what, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!url.isValid())
        return false;
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return false;
    return QDesktopServices::openUrl(url);
}

int TQtShell::MoveToTrash(const std::string& path, std::string* errorText) {
    const QString file = QString::fromStdString(path);
    const QFileInfo info(file);
    if (!info.exists() && !info.isSymLink()) {
        if (errorText)
            *errorText = "The file does not exist.";
        return ENOENT;
    }
    // Without the user's data folder the Trash cannot be found, and the move
    // would land in folders made beside the current one instead.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataHome.isEmpty() || !QDir().mkpath(dataHome)) {
        if (errorText)
            *errorText = "The Trash folder cannot be created.";
        return EACCES;
    }
    QFile f(file);
    if (f.moveToTrash())
        return 0;
    if (errorText)
        *errorText = f.errorString().toStdString();
    return EIO;
}
