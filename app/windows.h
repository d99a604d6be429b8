#pragma once
// The four application-wide windows. Each is created once at start-up, in the order of the
// members below, and lives until the program ends; pages are shown and hidden, never
// destroyed.

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

// Creates the four windows in their order and wires the wizard's navigation. The windows go
// with this object.
class ApplicationWindows {
public:
    ApplicationWindows(Dialogs& dialogs, const QString& localDatabasePath);
    ~ApplicationWindows();
    ApplicationWindows(const ApplicationWindows&) = delete;
    ApplicationWindows& operator=(const ApplicationWindows&) = delete;

    server::Tform_server* serverPage() const { return server_.get(); } // the main window
    Tform_xzzt* accountSetPage() const { return accountSet_.get(); }
    TForm1* auxiliaryWindow() const { return form1_.get(); } // empty, never shown
    server::TForm_HJFW* hostLookup() const { return hostLookup_.get(); }

private:
    void wireNavigation();

    std::unique_ptr<server::Tform_server> server_;
    std::unique_ptr<Tform_xzzt> accountSet_;
    std::unique_ptr<TForm1> form1_;
    std::unique_ptr<server::TForm_HJFW> hostLookup_;
};

} // namespace zt
