// retrograde-gui [FILE]: the window; FILE, when given, is opened at start.
#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <csignal>

#include "General/GneHooks.h"
#include "app/MainPanel.h"

int main(int argc, char** argv) {
    // A save past a file size limit fails with a message instead of killing the window.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // After QApplication, which sets the locale from the environment itself.
    GneSetUpLanguage(RETROGRADE_BUILD_LOCALE_DIR);
    QApplication::setApplicationName(QStringLiteral("Retrograde"));
    QApplication::setDesktopFileName(QStringLiteral("retrograde-gui"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("retrograde-gui")));

    MainPanel window;
    window.init();
    window.awakeFromNib();
    window.show();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) window.LoadPath(arguments.at(1));
    return app.exec();
}
