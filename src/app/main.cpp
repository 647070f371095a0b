// Start and end of the program: the application object with its title, the
// desktop's message boxes and shell, the window, its settings, the loop.
#include "app/ErrorReporting.h"
#include "app/FormMain.h"
#include "app/Logo.h"
#include "app/QtPresenter.h"
#include "util/Presenter.h"

int main(int argc, char** argv) {
    // The program reads no arguments; Qt's own (-platform ...) still work.
    TFerrovaneApplication app(argc, argv);
    const std::string title = "Ferrovane [by Quillmark]";
    QApplication::setApplicationName(QString::fromStdString(title));
    QuillTPU::SetApplicationTitle(title);
    // Ties the window to its menu entry (the dock, the task switcher).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopId));

    TQtPresenter presenter;
    TQtShell shell;
    QuillTPU::ScopedPresenter presenterInstalled(presenter);
    QuillTPU::ScopedShell shellInstalled(shell);

    // Declared after the installers, so the window's end, which writes the
    // settings back and may report a failure, comes before theirs.
    TMainForm form;
    form.LateInitialize();
    form.show();
    return app.exec();
}
