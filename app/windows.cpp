#include "app/windows.h"

#include "accountset/form_xzzt.h"
#include "app/form1.h"
#include "server/form_hjfw.h"
#include "server/form_server.h"

namespace zt {

ApplicationWindows::ApplicationWindows(Dialogs& dialogs, const QString& localDatabasePath) {
    // The order matters: the first window created is the main window.
    server_ = std::make_unique<server::Tform_server>(dialogs, localDatabasePath);
    accountSet_ = std::make_unique<Tform_xzzt>(dialogs);
    accountSet_->setLocalDatabasePath(localDatabasePath);
    form1_ = std::make_unique<TForm1>();
    hostLookup_ = std::make_unique<server::TForm_HJFW>(dialogs);
    wireNavigation();
}

ApplicationWindows::~ApplicationWindows() {
    // The pages refer to each other; drop them in the reverse order of their creation.
    hostLookup_.reset();
    form1_.reset();
    accountSet_.reset();
    server_.reset();
}

void ApplicationWindows::wireNavigation() {
    server::Tform_server* serverPage = server_.get();
    Tform_xzzt* accountSetPage = accountSet_.get();
    serverPage->setAccountSetPage(accountSetPage);
    serverPage->setHostLookupDialog(hostLookup_.get());
    hostLookup_->setServerBox(serverPage->serverBox());
    // "上一步&P": the server page shows again (running its show handler); the account-set
    // page then hides itself.
    QObject::connect(accountSetPage, &Tform_xzzt::backRequested, serverPage,
                     [serverPage] { serverPage->show(); });
    // Exit and the end after success close the main window, which ends the program.
    QObject::connect(accountSetPage, &Tform_xzzt::closeMainWindowRequested, serverPage,
                     [serverPage] { serverPage->close(); });
}

} // namespace zt
