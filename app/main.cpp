// zt-wizard: the set-up wizard "创建帐套".

#include "app/windows.h"
#include "config/local_config.h"
#include "core/application.h"
#include "db/freetds_config.h"
#include "db/query.h"
#include "resources/resources.h"
#include "server/form_server.h"
#include "widgets/widget_dialogs.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt would only abort with a terse message; say what to do instead.
bool displayAvailable() {
    const bool platformChosen = !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    return platformChosen || !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The server page reports every failed connection with one fixed message; a machine without
// the ODBC driver is told at start what to install.
void warnWithoutDriver(zt::Dialogs& dialogs) {
    try {
        zt::db::freeTdsDriver();
    } catch (const zt::db::DbError& failure) {
        dialogs.message(failure.text(), zt::applicationTitle(), zt::DialogIcon::Warning);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    if (!displayAvailable()) {
        std::fputs("zt-wizard: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is "
                   "set), so the wizard's window cannot be shown.\n"
                   "Run it on a desktop session, or inside a virtual X server:\n"
                   "    xvfb-run -a build/bin/zt-wizard\n",
                   stderr);
        return EXIT_FAILURE;
    }
    QApplication app(argc, argv);
    // The application name, not the display name: Qt would append a display name to every
    // window caption.
    QApplication::setApplicationName(zt::applicationTitle());
    // Ties the windows to the installed org.zhangtao.wizard.desktop: Wayland's app id, and on
    // X11 the WM_CLASS the desktop file's StartupWMClass names.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.zhangtao.wizard"));
    zt::installQtTranslations(app); // quietly English where Qt's translations are missing
    zt::initResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/zhangtao.png")));
    // Only closing the server connection page ends the program; hiding it does not.
    QApplication::setQuitOnLastWindowClosed(false);

    zt::WidgetDialogs dialogs;
    zt::ApplicationWindows windows(dialogs, zt::config::localDatabasePath());
    QObject::connect(windows.serverPage(), &zt::server::Tform_server::closed, &app,
                     &QApplication::quit, Qt::QueuedConnection);
    windows.serverPage()->show();
    warnWithoutDriver(dialogs);
    return QApplication::exec();
}
