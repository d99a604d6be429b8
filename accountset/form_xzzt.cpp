#include "accountset/form_xzzt.h"

#include "app/dialogs.h"
#include "app/shell.h"
#include "app/wait_cursor.h"
#include "config/local_config.h"
#include "resources/resources.h"

#include "ui_form_xzzt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QShortcut>
#include <QStandardItemModel>

namespace zt {

namespace {

constexpr int registryTabIndex = 1;
constexpr int registryColumnWidth = 235;

} // namespace

Tform_xzzt::Tform_xzzt(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs), ui_(std::make_unique<Ui::Tform_xzzt>()), clock_(accountset::systemToday),
      localDatabasePath_(config::localDatabasePath()),
      sampleBackupPath_(accountset::defaultSampleBackupPath()),
      sampleDataDirectory_(accountset::defaultSampleDataDirectory()) {
    initResources();
    ui_->setupUi(this);
    setUpControls();
    connectHandlers();
}

Tform_xzzt::~Tform_xzzt() = default;

void Tform_xzzt::setUpControls() {
    setFixedSize(436, 250);
    registryModel_ = new QStandardItemModel(0, 1, this);
    registryModel_->setHeaderData(0, Qt::Horizontal, QStringLiteral("账套名称"));
    registryModel_->setHeaderData(0, Qt::Horizontal, int(Qt::AlignCenter), Qt::TextAlignmentRole);
    ui_->DBGrid1->setModel(registryModel_);
    QPalette gridColours = ui_->DBGrid1->palette();
    gridColours.setColor(QPalette::Base, QColor(233, 240, 248));
    ui_->DBGrid1->setPalette(gridColours);
    ui_->DBGrid1->setColumnWidth(0, registryColumnWidth);
    ui_->DBGrid1->verticalHeader()->setDefaultSectionSize(18);
    for (QWidget* button :
         {static_cast<QWidget*>(ui_->BitBtn1), static_cast<QWidget*>(ui_->BitBtn4),
          static_cast<QWidget*>(ui_->BitBtn5)}) {
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
}

void Tform_xzzt::connectHandlers() {
    // "退出&X" is the window's cancel button: Esc reaches it from every control of the page.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &Tform_xzzt::BitBtn8Click);

    connect(ui_->PageControl1, &QTabWidget::currentChanged, this, &Tform_xzzt::PageControl1Change);
    connect(ui_->BitBtn7, &QPushButton::clicked, this, &Tform_xzzt::BitBtn7Click);
    connect(ui_->BitBtn8, &QPushButton::clicked, this, &Tform_xzzt::BitBtn8Click);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &Tform_xzzt::BitBtn1Click);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, &Tform_xzzt::BitBtn4Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &Tform_xzzt::BitBtn2Click);
    connect(ui_->BitBtn3, &QPushButton::clicked, this, &Tform_xzzt::BitBtn3Click);
    connect(ui_->BitBtn5, &QPushButton::clicked, this, &Tform_xzzt::BitBtn5Click);
    connect(ui_->BitBtn6, &QPushButton::clicked, this, &Tform_xzzt::BitBtn6Click);
    // The list always shows the registry of the server the page names: a new server name
    // (the hand-over after each show) reloads it while its tab is active.
    connect(ui_->Edit1, &QLineEdit::textChanged, this, [this] {
        if (isVisible() && ui_->PageControl1->currentIndex() == registryTabIndex)
            ActnetztExecute();
    });
}

void Tform_xzzt::setServerName(const QString& serverName) {
    ui_->Edit1->setText(serverName);
}

QString Tform_xzzt::serverName() const {
    return ui_->Edit1->text();
}

void Tform_xzzt::setLocalDatabasePath(const QString& path) {
    localDatabasePath_ = path;
}

void Tform_xzzt::setSampleBackupPath(const QString& path) {
    sampleBackupPath_ = path;
}

void Tform_xzzt::setSampleDataDirectory(const QString& path) {
    sampleDataDirectory_ = path;
}

void Tform_xzzt::setClock(accountset::Clock clock) {
    clock_ = std::move(clock);
}

accountset::Environment Tform_xzzt::environment() {
    return accountset::Environment{dialogs_, config::localConnectionString(localDatabasePath_),
                                   clock_, sampleBackupPath_, sampleDataDirectory_};
}

void Tform_xzzt::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
}

void Tform_xzzt::FormShow() {
    queries_.ADOserver.setConnectionString(config::localConnectionString(localDatabasePath_));
    setWindowTitle(applicationTitle() + QStringLiteral("【开始建帐】"));
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    ui_->Edit1->clear();
    ui_->Edit2->clear();
    ui_->Edit6->clear();
}

void Tform_xzzt::PageControl1Change(int index) {
    if (index == registryTabIndex)
        ActnetztExecute();
}

void Tform_xzzt::BitBtn7Click() {
    emit backRequested();
    hide();
}

void Tform_xzzt::BitBtn8Click() {
    emit closeMainWindowRequested();
}

void Tform_xzzt::closeEvent(QCloseEvent* event) {
    // The close box ends the program as "退出&X" does, instead of leaving no window.
    if (!closing_) {
        closing_ = true;
        emit closeMainWindowRequested();
        closing_ = false;
    }
    event->accept();
}

void Tform_xzzt::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // "删除&D" is the default button while the password box shows.
    if (enter && ui_->GroupBox1->isVisible() && ui_->BitBtn5->isEnabled()) {
        BitBtn5Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Tform_xzzt::eventFilter(QObject* watched, QEvent* event) {
    // BitBtn1MouseMove, BitBtn4MouseMove, BitBtn5MouseMove: a wait cursor left on the button
    // goes once the pointer moves over it.
    if (event->type() == QEvent::MouseMove) {
        if (auto* button = qobject_cast<QWidget*>(watched))
            resetWaitCursor(button);
    }
    return QWidget::eventFilter(watched, event);
}

void Tform_xzzt::BitBtn1Click() {
    const accountset::NewAccountSet accountSet{ui_->Edit1->text(), ui_->Edit2->text(),
                                               ui_->Edit6->text(), ui_->CheckBox1->isChecked()};
    accountset::CreateOutcome outcome = accountset::CreateOutcome::EmptyServerName;
    try {
        const WaitCursor wait(ui_->BitBtn1);
        outcome = accountset::createAccountSet(queries_, environment(), accountSet);
    } catch (const std::exception& failure) {
        showFailure(dialogs_, messageOf(failure));
        return;
    }
    switch (outcome) {
    case accountset::CreateOutcome::Created:
        emit closeMainWindowRequested();
        break;
    case accountset::CreateOutcome::EmptyName:
    case accountset::CreateOutcome::RefusedName:
        ui_->Edit2->setFocus();
        break;
    case accountset::CreateOutcome::EmptyServerName:
        break;
    }
}

void Tform_xzzt::BitBtn4Click() {
    const accountset::NewAccountSet sample{ui_->Edit1->text(), accountset::sampleAccountSetName(),
                                           ui_->Edit6->text(), ui_->CheckBox1->isChecked()};
    try {
        const WaitCursor wait(ui_->BitBtn4);
        if (!sample.serverName.isEmpty())
            ui_->Edit2->setText(sample.name);
        accountset::restoreSample(queries_, environment(), sample, [this] { ui_->Edit2->clear(); });
    } catch (const std::exception& failure) {
        showFailure(dialogs_, messageOf(failure));
    }
}

void Tform_xzzt::ActnetztExecute() {
    const accountset::Environment env = environment();
    accountset::ActnetztExecute(queries_, env, networkList_, ui_->Edit1->text());
    if (networkList_.loaded)
        ui_->server->setText(networkList_.credentialPart);
    showRegistry();
    if (!networkList_.rows.empty())
        ui_->DBGrid1->selectRow(0);
}

void Tform_xzzt::showRegistry() {
    registryModel_->removeRows(0, registryModel_->rowCount());
    for (const accountset::RegistryRow& row : networkList_.rows) {
        auto* item = new QStandardItem(row.ztmc);
        item->setEditable(false);
        registryModel_->appendRow(item);
    }
}

int Tform_xzzt::selectedRegistryRow() const {
    const QModelIndex current = ui_->DBGrid1->currentIndex();
    if (current.isValid())
        return current.row();
    return networkList_.rows.empty() ? -1 : 0;
}

void Tform_xzzt::BitBtn2Click() {
    try {
        const auto outcome = accountset::selectNetworkAccountSet(
            queries_, environment(), networkList_, selectedRegistryRow());
        if (outcome == accountset::SelectOutcome::Selected)
            emit closeMainWindowRequested();
    } catch (const std::exception& failure) {
        showFailure(dialogs_, messageOf(failure));
    }
}

void Tform_xzzt::BitBtn3Click() {
    if (!accountset::confirmNetworkDeletion(environment(), networkList_, selectedRegistryRow()))
        return;
    ui_->GroupBox1->show();
    ui_->Edit3->setFocus();
}

void Tform_xzzt::BitBtn5Click() {
    const int row = selectedRegistryRow();
    accountset::DeleteOutcome outcome = accountset::DeleteOutcome::NothingToDelete;
    {
        const WaitCursor wait(ui_->BitBtn5);
        outcome = accountset::deleteNetworkAccountSet(queries_, environment(), networkList_, row,
                                                      ui_->Edit3->text());
    }
    switch (outcome) {
    case accountset::DeleteOutcome::WrongPassword:
        ui_->Edit3->setFocus();
        break;
    case accountset::DeleteOutcome::Deleted:
        registryModel_->removeRow(row);
        if (registryModel_->rowCount() > 0)
            ui_->DBGrid1->selectRow(std::min(row, registryModel_->rowCount() - 1));
        ui_->GroupBox1->hide();
        break;
    case accountset::DeleteOutcome::Failed:
        ui_->GroupBox1->hide();
        break;
    case accountset::DeleteOutcome::NothingToDelete:
        break;
    }
}

void Tform_xzzt::BitBtn6Click() {
    ui_->GroupBox1->hide();
}

} // namespace zt
