#include "accountset/form_xzzt.h"

#include "accountset/creation.h"
#include "accountset/progress_window.h"
#include "accountset/sample_restore.h"
#include "config/local_config.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "db/query_table_model.h"
#include "resources/resources.h"
#include "widgets/popups.h"
#include "widgets/wait_cursor.h"

#include "ui_form_xzzt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QShortcut>

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
    registryModel_ =
        std::make_unique<db::QueryTableModel>(queries_.registryList, QStringLiteral("ztmc"));
    registryModel_->setHeaderCaption(QStringLiteral("账套名称"));
    registryModel_->setHeaderAlignment(Qt::AlignCenter);
    ui_->DBGrid1->setModel(registryModel_.get());
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
    auto* popups = new PopupEscapeGuard(escape);
    connect(escape, &QShortcut::activated, this, [this, popups] {
        if (!popups->escapeBelongsToPopup())
            BitBtn8Click();
    });

    connect(ui_->PageControl1, &QTabWidget::currentChanged, this, &Tform_xzzt::PageControl1Change);
    connect(ui_->BitBtn7, &QPushButton::clicked, this, &Tform_xzzt::BitBtn7Click);
    connect(ui_->BitBtn8, &QPushButton::clicked, this, &Tform_xzzt::BitBtn8Click);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &Tform_xzzt::BitBtn1Click);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, &Tform_xzzt::BitBtn4Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &Tform_xzzt::BitBtn2Click);
    connect(ui_->BitBtn3, &QPushButton::clicked, this, &Tform_xzzt::BitBtn3Click);
    connect(ui_->BitBtn5, &QPushButton::clicked, this, &Tform_xzzt::BitBtn5Click);
    connect(ui_->BitBtn6, &QPushButton::clicked, this, &Tform_xzzt::BitBtn6Click);
    // The grid and ADOztgl share one current row: a click moves the query, and the query's
    // moves (loading, deleting) move the grid. The model is the context, so the first link
    // ends with the model, before the grid goes.
    connect(ui_->DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged,
            registryModel_.get(), [model = registryModel_.get()](const QModelIndex& current) {
                if (current.isValid())
                    model->setCurrentRow(current.row());
            });
    connect(registryModel_.get(), &db::QueryTableModel::currentRowChanged, this,
            &Tform_xzzt::followRegistryRow);
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
    return environment(dialogs_);
}

accountset::Environment Tform_xzzt::environment(Dialogs& dialogs) {
    return accountset::Environment{dialogs, config::localConnectionString(localDatabasePath_),
                                   clock_, sampleBackupPath_, sampleDataDirectory_};
}

void Tform_xzzt::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    FormShow();
}

void Tform_xzzt::FormShow() {
    queries_.localSettings.setConnectionString(config::localConnectionString(localDatabasePath_));
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
        // Refused input gets its message without a progress window.
        if (const auto refusal = accountset::refuseCreationInputs(environment(), accountSet)) {
            outcome = *refusal;
        } else {
            runCreationWork([&](const accountset::Environment& env) {
                outcome = accountset::createAccountSet(queries_, env, accountSet);
            });
        }
    } catch (const accountset::Cancelled&) {
        return; // the user stopped it; what it made is gone again
    } catch (const std::exception& failure) {
        showFailure(dialogs_, messageOf(failure));
        return;
    }
    switch (outcome) {
    case accountset::CreateOutcome::Created:
    case accountset::CreateOutcome::CreatedWithoutNetwork:
        emit closeMainWindowRequested();
        break;
    case accountset::CreateOutcome::EmptyName:
    case accountset::CreateOutcome::RefusedName:
        ui_->Edit2->setFocus();
        break;
    case accountset::CreateOutcome::RefusedPassword:
        ui_->Edit6->setFocus();
        break;
    case accountset::CreateOutcome::EmptyServerName:
    case accountset::CreateOutcome::RefusedServerName:
        break;
    }
}

void Tform_xzzt::BitBtn4Click() {
    const accountset::NewAccountSet sample{ui_->Edit1->text(), accountset::sampleAccountSetName(),
                                           ui_->Edit6->text(), ui_->CheckBox1->isChecked()};
    try {
        const WaitCursor wait(ui_->BitBtn4);
        if (accountset::refuseRestoreInputs(environment(), sample))
            return;
        ui_->Edit2->setText(sample.name);
        runCreationWork([&](const accountset::Environment& env) {
            accountset::restoreSample(queries_, env, sample, [this] {
                ProgressWindow::onUiThread(this, [this] { ui_->Edit2->clear(); });
            });
        });
    } catch (const accountset::Cancelled&) {
        ui_->Edit2->clear();
    } catch (const std::exception& failure) {
        showFailure(dialogs_, messageOf(failure));
    }
}

// A creation and a restore run their stages alike: in a cancellable progress window that
// opens on the first stage, with an environment whose dialogs show over it and whose progress
// moves it.
void Tform_xzzt::runCreationWork(
    const std::function<void(const accountset::Environment& env)>& work) {
    ProgressWindow window(this, dialogs_,
                          accountset::stageText(accountset::CreationStage::CreatingDatabase, 0, 1),
                          true);
    window.run([&](Dialogs& shown, const accountset::CreationProgress& progress) {
        accountset::Environment env = environment(shown);
        env.progress = progress;
        work(env);
    });
}

void Tform_xzzt::ActnetztExecute() {
    // Off this thread, behind the progress window once it lasts: the server may be slow. The
    // grid's model hears of the query's changes on this thread, as the load makes them.
    const QString serverName = ui_->Edit1->text();
    ProgressWindow window(this, dialogs_, QStringLiteral("正在读取网络帐套…"), false);
    window.run([&](Dialogs& shown, const accountset::CreationProgress&) {
        accountset::loadNetworkRegistry(queries_, environment(shown), networkList_, serverName);
    });
    if (networkList_.loaded)
        ui_->server->setText(networkList_.credentialPart);
    else
        queries_.registryList.close(); // no rows of an earlier server may stay on show
    if (!networkList_.rows.empty())
        registryModel_->setCurrentRow(0);
}

void Tform_xzzt::followRegistryRow(int row) {
    QTableView* grid = ui_->DBGrid1;
    if (row < 0)
        grid->selectionModel()->clear();
    else if (grid->currentIndex().row() != row)
        grid->selectRow(row);
}

int Tform_xzzt::selectedRegistryRow() const {
    return registryModel_->currentRow();
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
    accountset::DeleteOutcome outcome = accountset::DeleteOutcome::NothingToDelete;
    {
        const WaitCursor wait(ui_->BitBtn5);
        const int row = selectedRegistryRow();
        const QString typed = ui_->Edit3->text();
        // The password is checked before any progress shows: a wrong one changes nothing.
        if (const auto refusal =
                accountset::refuseNetworkDeletion(environment(), networkList_, row, typed)) {
            outcome = *refusal;
        } else {
            // The grid reads the registry list that the deletion changes: it waits to repaint.
            ui_->DBGrid1->setUpdatesEnabled(false);
            ProgressWindow window(this, dialogs_, QStringLiteral("正在删除帐套…"), false);
            window.run([&](Dialogs& shown, const accountset::CreationProgress&) {
                outcome = accountset::deleteNetworkAccountSet(queries_, environment(shown),
                                                              networkList_, row, typed);
            });
            ui_->DBGrid1->setUpdatesEnabled(true);
        }
    }
    switch (outcome) {
    case accountset::DeleteOutcome::WrongPassword:
        ui_->Edit3->setFocus();
        break;
    case accountset::DeleteOutcome::Deleted:
        // ADOztgl has dropped the row and moved on to its neighbour; the grid followed.
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
