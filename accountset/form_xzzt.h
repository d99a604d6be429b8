#pragma once
// The account-set page, the wizard's second page: create a new account set, restore the
// sample, select or delete a network account set. The handlers read the controls and call
// the window-free operations of accountset/creation.h, sample_restore.h and network_registry.h.

#include "accountset/network_registry.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QCloseEvent;
class QKeyEvent;
class QShowEvent;

namespace Ui {
class Tform_xzzt;
}

namespace zt::db {
class QueryTableModel;
}

namespace zt {

class Dialogs;

class Tform_xzzt : public QWidget {
    Q_OBJECT

public:
    explicit Tform_xzzt(Dialogs& dialogs, QWidget* parent = nullptr);
    ~Tform_xzzt() override;

    // The hand-over of the server page writes the proved server's name here, after show().
    // Same effect as setting the text of the child QLineEdit "Edit1".
    void setServerName(const QString& serverName);
    QString serverName() const;

    // Where the local configuration database and the sample backup are; by default beside
    // the executable. Tests point them elsewhere.
    void setLocalDatabasePath(const QString& path);
    void setSampleBackupPath(const QString& path);
    // The workstation directory made sure of before a restore.
    void setSampleDataDirectory(const QString& path);
    // The day written into registrations; by default today.
    void setClock(accountset::Clock clock);

signals:
    // "上一步&P": the server page is to be shown again (this page hides itself afterwards).
    void backRequested();
    // "退出&X", Esc, the close box, and the end after a successful creation or selection:
    // the main window is to be closed, which ends the program.
    void closeMainWindowRequested();

public slots:
    void FormShow();
    void PageControl1Change(int index);
    void BitBtn7Click();
    void BitBtn8Click();
    void BitBtn1Click();
    void BitBtn4Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn5Click();
    void BitBtn6Click();
    void ActnetztExecute();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setUpControls();
    void connectHandlers();
    accountset::Environment environment();
    accountset::Environment environment(Dialogs& dialogs);
    // Runs the work of a creation or a restore behind the progress window.
    void runCreationWork(const std::function<void(const accountset::Environment& env)>& work);
    void followRegistryRow(int row);
    int selectedRegistryRow() const;

    Dialogs& dialogs_;
    std::unique_ptr<Ui::Tform_xzzt> ui_;
    accountset::PageQueries queries_;
    accountset::NetworkList networkList_;
    // Reads ADOztgl, so it is declared after queries_ and goes before them.
    std::unique_ptr<db::QueryTableModel> registryModel_;
    accountset::Clock clock_;
    QString localDatabasePath_;
    QString sampleBackupPath_;
    QString sampleDataDirectory_;
    bool closing_ = false;
};

} // namespace zt
