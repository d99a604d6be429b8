#include "app/windows.h"

#include "accountset/form_xzzt.h"
#include "app/form1.h"
#include "server/form_hjfw.h"
#include "server/form_server.h"

namespace zt {

QPointer<server::Tform_server> form_server;
QPointer<Tform_xzzt> form_xzzt;
QPointer<TForm1> Form1;
QPointer<server::TForm_HJFW> Form_HJFW;

ApplicationWindows::ApplicationWindows(Dialogs& dialogs, const QString& localDatabasePath) {
    // The order matters: the first window created is the main window.
    server_ = std::make_unique<server::Tform_server>(dialogs, localDatabasePath);
    form_server = server_.get();
    accountSet_ = std::make_unique<Tform_xzzt>(dialogs);
    accountSet_->setLocalDatabasePath(localDatabasePath);
    form_xzzt = accountSet_.get();
    form1_ = std::make_unique<TForm1>();
    Form1 = form1_.get();
    hostLookup_ = std::make_unique<server::TForm_HJFW>(dialogs);
    Form_HJFW = hostLookup_.get();
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
    form_server->setAccountSetPage(form_xzzt);
    form_server->setHostLookupDialog(Form_HJFW);
    Form_HJFW->setServerBox(form_server->serverBox());
    // "上一步&P": the server page shows again (running its show handler); the account-set
    // page then hides itself.
    QObject::connect(form_xzzt, &Tform_xzzt::backRequested, form_server,
                     [page = form_server] { page->show(); });
    // Exit and the end after success close the main window, which ends the program.
    QObject::connect(form_xzzt, &Tform_xzzt::closeMainWindowRequested, form_server,
                     [page = form_server] { page->close(); });
}

} // namespace zt
