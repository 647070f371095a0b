// Start and end of the program: the application object with its title, the
// desktop's message boxes and shell, the window, its settings, the loop.
#include "app/ErrorReporting.h"
#include "app/FormMain.h"
#include "app/QtPresenter.h"
#include "util/Presenter.h"

int main(int argc, char** argv) {
    // The program reads no arguments; Qt's own (-platform ...) still work.
    TFerrovaneApplication app(argc, argv);
    const std::string title = "Ferrovane [by Quillmark]";
    QApplication::setApplicationName(QString::fromStdString(title));
    QuillTPU::SetApplicationTitle(title);

    TQtPresenter presenter;
    TQtShell shell;
    QuillTPU::SetMessagePresenter(&presenter);
    QuillTPU::SetShell(&shell);

    int result = 0;
    {
        TMainForm form;
        form.LateInitialize();
        form.show();
        result = app.exec();
    } // the window's end writes the settings back

    QuillTPU::SetShell(nullptr);
    QuillTPU::SetMessagePresenter(nullptr);
    return result;
}
