// Renders the logo the window paints into the PNG sizes of the hicolor icon
// theme, so that the icons and the window always show the same picture:
//   ferrovane-render-icons <folder> <name> <size>...
// writes <folder>/<size>x<size>/apps/<name>.png for every size.
#include "app/Logo.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // Pictures only: no display is needed, also on a build machine without one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: ferrovane-render-icons <folder> <name> <size>...\n");
        return 2;
    }
    for (const QString& text : args.mid(2)) {
        bool isNumber = false;
        const int size = text.toInt(&isNumber);
        if (!isNumber || size < 1 || size > 1024) {
            std::fprintf(stderr, "Not an icon size: %s\n", qPrintable(text));
            return 2;
        }
        const QString folder = QString("%1/%2x%2/apps").arg(args.at(0)).arg(size);
        const QString file = QString("%1/%2.png").arg(folder, args.at(1));
        if (!QDir().mkpath(folder) || !DrawQuillmarkLogo(size).save(file, "PNG")) {
            std::fprintf(stderr, "Cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
