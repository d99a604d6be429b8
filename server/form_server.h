#pragma once
// The server connection page, the wizard's first page and the main window: the user names a
// SQL Server, chooses integrated security or an SQL login and presses "下一步&N"; the page
// proves the server, stores its login and hands over to the account-set page.

#include "config/local_config.h"
#include "db/query.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

class QCloseEvent;
class QComboBox;
class QShowEvent;

namespace Ui {
class Tform_server;
}

namespace zt {
class Dialogs;
class WaitCursor;
} // namespace zt

namespace zt::server {

class Tform_server : public QWidget {
    Q_OBJECT

public:
    Tform_server(Dialogs& dialogs, QString localDatabasePath, QWidget* parent = nullptr);
    ~Tform_server() override;

    // The page "下一步&N" hands over to: shown, then its child QLineEdit "Edit1" gets the
    // server name (after the show, whose handler empties it).
    void setAccountSetPage(QWidget* page);
    // The host lookup dialog that the tool button opens beside this page.
    void setHostLookupDialog(QWidget* dialog);

    QComboBox* serverBox() const;
    // The text of the server box, exactly as typed or chosen.
    QString serverName() const;

    void FormCreate();
    void FormShow();
    void RadioButton1Click();
    void RadioButton2Click();
    void SpeedButton1Click();
    void BitBtn7Click();
    void BitBtn7MouseMove();
    void BitBtn8Click();
    void ActserverExecute();

signals:
    // The page was closed ("退出&X", Esc, the close box): the program is to end.
    void closed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpWindow();
    void connectHandlers();
    config::ServerLogin chosenLogin() const;
    void handOver(const QString& serverName);
    void connectionFailed(WaitCursor& wait, const QString& message);

    Dialogs& dialogs_;
    std::unique_ptr<Ui::Tform_server> ui_;
    QString localDatabasePath_;
    QString provedServer_; // the last server handed over, shown again on the way back
    QPointer<QWidget> accountSetPage_;
    QPointer<QWidget> hostLookupDialog_;
    // The probe statements run on a query of their own off the user-interface thread.
    db::Query ADOQuery2{QStringLiteral("ADOQuery2")}; // 系统路径表 of the local database
};

} // namespace zt::server
