#pragma once
// The four application-wide windows. Each is created once at start-up, in the order of the
// members below, and lives until the program ends; pages are shown and hidden, never
// destroyed. These references are the program's only global state.

#include <QPointer>
#include <QString>

#include <memory>

namespace zt {

class Dialogs;
class Tform_xzzt;
class TForm1;

namespace server {
class Tform_server;
class TForm_HJFW;
} // namespace server

extern QPointer<server::Tform_server> form_server; // server connection page, the main window
extern QPointer<Tform_xzzt> form_xzzt;             // account-set page
extern QPointer<TForm1> Form1;                     // empty auxiliary window, never shown
extern QPointer<server::TForm_HJFW> Form_HJFW;     // host lookup dialog

// Creates the four windows in their order, points the global references at them and wires
// the wizard's navigation. The windows go (and the references become null) with this object.
class ApplicationWindows {
public:
    ApplicationWindows(Dialogs& dialogs, const QString& localDatabasePath);
    ~ApplicationWindows();
    ApplicationWindows(const ApplicationWindows&) = delete;
    ApplicationWindows& operator=(const ApplicationWindows&) = delete;

private:
    void wireNavigation();

    std::unique_ptr<server::Tform_server> server_;
    std::unique_ptr<Tform_xzzt> accountSet_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<server::TForm_HJFW> hostLookup_;
};

} // namespace zt
