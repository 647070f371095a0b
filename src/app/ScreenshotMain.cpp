// Saves pictures of the window without a person at the screen:
//   ferrovane-screenshot <folder>        one PNG per tab, at the minimum size
//                                        and at a larger size
//   ferrovane-screenshot --screen <file> what the screen shows, cut to the
//                                        windows on it (to capture a running
//                                        ferrovane under Xvfb)
#include "app/ErrorReporting.h"
#include "app/FormMain.h"
#include "app/QtPresenter.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

void Settle() {
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
    }
}

bool Save(QWidget& window, const QString& folder, const QString& name) {
    Settle();
    const QString file = QDir(folder).filePath(name + ".png");
    if (!window.grab().save(file)) {
        std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

// The part of the screen that differs from its background (the colour of the
// top-left corner): the windows shown on an otherwise empty screen.
QImage CropToWindows(const QImage& screen) {
    const QRgb background = screen.pixel(0, 0);
    int left = screen.width(), top = screen.height(), right = -1, bottom = -1;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (screen.pixel(x, y) == background)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return screen;
    return screen.copy(QRect(QPoint(left, top), QPoint(right, bottom)));
}

void Check(QWidget& form, const char* radio) {
    if (auto* r = form.findChild<QRadioButton*>(radio))
        r->setChecked(true);
}

} // namespace

int main(int argc, char** argv) {
    TFerrovaneApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args.at(0) == "--screen") {
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || !CropToWindows(screen->grabWindow(0).toImage()).save(args.at(1))) {
            std::fprintf(stderr, "Cannot capture the screen into %s\n", qPrintable(args.at(1)));
            return 1;
        }
        return 0;
    }
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: ferrovane-screenshot <folder> | --screen <file>\n");
        return 2;
    }
    const QString folder = args.at(0);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "Cannot create %s\n", qPrintable(folder));
        return 1;
    }
    QuillTPU::SetApplicationTitle("Ferrovane [by Quillmark]");
    TQtPresenter presenter;
    QuillTPU::ScopedPresenter presenterInstalled(presenter);

    bool ok = true;
    {
        TMainForm form;
        form.LateInitialize();
        form.show();
        const QSize sizes[] = {form.minimumSize(), QSize(760, 860)};
        for (const QSize& size : sizes) {
            form.resize(size);
            const QString prefix = QString("%1x%2-").arg(size.width()).arg(size.height());
            for (int i = 0; i < form.pagCrtl->count(); ++i) {
                form.pagCrtl->setCurrentIndex(i);
                ok = Save(form, folder,
                          prefix + QString::number(i) + "-" +
                              form.pagCrtl->widget(i)->objectName()) &&
                     ok;
            }
            // The generator's hidden rows, shown.
            form.pagCrtl->setCurrentIndex(0);
            Check(form, "radPatern");
            Check(form, "radFillWithThis");
            ok = Save(form, folder, prefix + "0-tabMain-pattern-fill") && ok;
            Check(form, "radRandomName");
            Check(form, "radRandomContent");
            // A task running: Cancel and the status line.
            form.Tasks().BeginTask();
            form.Tasks().SetStatus("37 of 700");
            ok = Save(form, folder, prefix + "0-tabMain-busy") && ok;
            form.Tasks().EndTask();
            form.Tasks().SetStatus("");
        }
        form.pagCrtl->setCurrentIndex(0);
    }
    return ok ? 0 : 1;
}
