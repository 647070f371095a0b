// Start and end of the program: the application object with its title, the
// desktop's message boxes and shell, the window, its settings, the loop.
#include "app/ErrorReporting.h"
#include "app/FormMain.h"
#include "app/Logo.h"
#include "app/QtPresenter.h"
#include "util/Presenter.h"

#include <cstdio>
#include <cstring>
#include <optional>

#ifndef FV_VERSION
#error "FV_VERSION comes from the project's version in CMake"
#endif

namespace {

// --help and --version answer on standard output and end the program before
// the application object exists, so they work without a display, as every
// desktop program's do. Returns the exit status then, nullopt otherwise.
std::optional<int> AnswerInformationRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("ferrovane %s\n", FV_VERSION);
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: ferrovane [--help | --version]\n\n"
                "Opens the Ferrovane window: test files of an exact size, drive speed, free-space\n"
                "wipe, disk space and file merge. The window reads no other arguments (Qt's own,\n"
                "such as -platform, still apply). Settings are kept in\n"
                "~/.config/QMK/FerVan.conf. The same tools without a display: ferrovane-cli.\n");
        } else {
            continue;
        }
        // Output that did not get out (a full disk, a closed pipe) is a failure.
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto status = AnswerInformationRequest(argc, argv))
        return *status;
    // Any other argument is ignored; Qt's own (-platform ...) still work.
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
