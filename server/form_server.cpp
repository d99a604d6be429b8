#include "server/form_server.h"

#include "core/application.h"
#include "core/dialogs.h"
#include "core/failure_explanation.h"
#include "resources/resources.h"
#include "server/connection_strings.h"
#include "server/server_login.h"
#include "ui_form_server.h"
#include "widgets/background_call.h"
#include "widgets/popups.h"
#include "widgets/wait_cursor.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>

namespace zt::server {

namespace {

const QString kNoticeCaption = QStringLiteral("服务器设置提示");
const QString kConnectionFailed = QStringLiteral("连接服务器失败，请重新选择或录入服务器名称！");
// Not the server's fault: the login could not be stored, so the server was not asked.
const QString kNoServerName = QStringLiteral("请选择或录入SQL服务器名称！");
const QString kCaptionSuffix = QStringLiteral("【服务器设置】");
const QString kHostLookupCaption = QStringLiteral("获取服务器");
const QString kConnecting = QStringLiteral("正在连接服务器…");

} // namespace

Tform_server::Tform_server(Dialogs& dialogs, QString localDatabasePath, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), ui_(std::make_unique<Ui::Tform_server>()),
      localDatabasePath_(std::move(localDatabasePath)) {
    initResources();
    ui_->setupUi(this);
    setUpWindow();
    connectHandlers();
    FormCreate();
}

Tform_server::~Tform_server() = default;

void Tform_server::setAccountSetPage(QWidget* page) {
    accountSetPage_ = page;
}

void Tform_server::setHostLookupDialog(QWidget* dialog) {
    hostLookupDialog_ = dialog;
}

QComboBox* Tform_server::serverBox() const {
    return ui_->SQLServersListComboBox1;
}

QString Tform_server::serverName() const {
    return ui_->SQLServersListComboBox1->currentText();
}

void Tform_server::setUpWindow() {
    // A fixed single border with only the close box, centred on the screen.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // The pointer moving over the button resets a wait cursor left behind.
    ui_->BitBtn7->setMouseTracking(true);
    ui_->BitBtn7->installEventFilter(this);
    addAction(ui_->Actserver);
}

void Tform_server::connectHandlers() {
    const auto handle = [this](void (Tform_server::*handler)()) {
        return [this, handler] { guarded(dialogs_, [this, handler] { (this->*handler)(); }); };
    };
    // A radio button "clicked" also when its choice is changed from code, as on every show.
    connect(ui_->RadioButton1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded(dialogs_, [this] { RadioButton1Click(); });
    });
    connect(ui_->RadioButton2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded(dialogs_, [this] { RadioButton2Click(); });
    });
    connect(ui_->SpeedButton1, &QToolButton::clicked, this,
            handle(&Tform_server::SpeedButton1Click));
    connect(ui_->BitBtn7, &QPushButton::clicked, this, handle(&Tform_server::BitBtn7Click));
    connect(ui_->BitBtn8, &QPushButton::clicked, this, handle(&Tform_server::BitBtn8Click));
    connect(ui_->Actserver, &QAction::triggered, this, handle(&Tform_server::ActserverExecute));
    // "退出&X" is the page's cancel button: Esc presses it.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    auto* popups = new PopupEscapeGuard(escape);
    connect(escape, &QShortcut::activated, this, [this, popups] {
        if (!popups->escapeBelongsToPopup())
            ui_->BitBtn8->click();
    });
}

void Tform_server::FormCreate() {
    ui_->Edit1->clear();
    ui_->Edit2->clear();
}

void Tform_server::FormShow() {
    setWindowTitle(applicationTitle() + kCaptionSuffix);
    ADOQuery2.setConnectionString(config::localConnectionString(localDatabasePath_));
    // Every visit starts with integrated security and empty credentials.
    ui_->RadioButton1->setChecked(true);
    QComboBox* box = ui_->SQLServersListComboBox1;
    // Back from the account-set page the box shows the server the user proved.
    if (!provedServer_.isEmpty()) {
        box->setEditText(provedServer_);
        return;
    }
    if (box->count() > 0) {
        box->setCurrentIndex(0);
        box->setEditText(box->itemText(0));
    }
}

void Tform_server::RadioButton1Click() {
    ui_->Edit1->clear();
    ui_->Edit2->clear();
    ui_->Edit1->setEnabled(false);
    ui_->Edit2->setEnabled(false);
}

void Tform_server::RadioButton2Click() {
    ui_->Edit1->setEnabled(true);
    ui_->Edit2->setEnabled(true);
    ui_->Edit1->setText(QStringLiteral("sa"));
    ui_->Edit2->clear();
}

void Tform_server::SpeedButton1Click() {
    if (!hostLookupDialog_)
        return;
    hostLookupDialog_->setWindowTitle(kHostLookupCaption);
    hostLookupDialog_->show();
    hostLookupDialog_->raise();
    hostLookupDialog_->activateWindow();
}

void Tform_server::BitBtn7Click() {
    const QString name = serverName();
    // Refused before any contact: such a name or login would change the connection string.
    if (const auto problem = serverInputProblem(name, chosenLogin())) {
        dialogs_.message(*problem, kNoticeCaption, DialogIcon::Information);
        return;
    }
    if (name.isEmpty()) {
        dialogs_.message(kNoServerName, applicationTitle(), DialogIcon::None);
        ui_->SQLServersListComboBox1->setFocus();
        return;
    }
    WaitCursor wait(ui_->BitBtn7);
    try {
        // Off this thread: a server that never answers must not freeze the page. The call owns
        // its probe query, so that one abandoned with "取消" still ends (and drops its probe).
        const QString localPath = localDatabasePath_;
        const config::ServerLogin login = chosenLogin();
        const CallEnd end = runInBackground(this, kConnecting, [localPath, name, login] {
            db::Query probe(QStringLiteral("ADOQuery1"));
            proveServerForLocalDatabase(probe, localPath, name, login);
        });
        if (end == CallEnd::Abandoned)
            return; // the page is the user's again; a late answer goes nowhere
        ActserverExecute();
        wait.restore();
        handOver(name);
    } catch (const std::exception& failure) {
        const QString& headline = core::isLocalDatabaseFailure(failure)
                                      ? core::unusableLocalDatabaseHeadline()
                                      : kConnectionFailed;
        connectionFailed(wait, core::withCause(headline, failure));
    } catch (...) {
        connectionFailed(wait, kConnectionFailed);
    }
}

void Tform_server::connectionFailed(WaitCursor& wait, const QString& message) {
    dialogs_.beep();
    wait.restore();
    dialogs_.message(message, kNoticeCaption, DialogIcon::Information);
}

void Tform_server::BitBtn7MouseMove() {
    resetWaitCursor(ui_->BitBtn7);
}

void Tform_server::BitBtn8Click() {
    close();
}

void Tform_server::ActserverExecute() {
    config::storeServerLogin(ADOQuery2, serverName(), chosenLogin());
}

config::ServerLogin Tform_server::chosenLogin() const {
    config::ServerLogin login;
    login.integratedSecurity = !ui_->RadioButton2->isChecked();
    if (!login.integratedSecurity) {
        login.userName = ui_->Edit1->text();
        login.password = ui_->Edit2->text();
    }
    return login;
}

void Tform_server::handOver(const QString& serverName) {
    provedServer_ = serverName;
    if (accountSetPage_) {
        accountSetPage_->show();
        if (auto* serverField = accountSetPage_->findChild<QLineEdit*>(QStringLiteral("Edit1")))
            serverField->setText(serverName);
    }
    hide();
}

void Tform_server::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        guarded(dialogs_, [this] { FormShow(); });
}

void Tform_server::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}

bool Tform_server::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->BitBtn7 && event->type() == QEvent::MouseMove)
        BitBtn7MouseMove();
    return QWidget::eventFilter(watched, event);
}

} // namespace zt::server
