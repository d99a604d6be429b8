#include "server/form_hjfw.h"

#include "core/dialogs.h"
#include "resources/resources.h"
#include "server/host_lookup.h"
#include "ui_form_hjfw.h"
#include "widgets/background_call.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>

#include <memory>

namespace zt::server {

TForm_HJFW::TForm_HJFW(zt::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TForm_HJFW>()), dialogs_(dialogs) {
    initResources();
    ui_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(size());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TForm_HJFW::BitBtn1Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &TForm_HJFW::BitBtn2Click);
    connect(ui_->BitBtn3, &QPushButton::clicked, this, &TForm_HJFW::BitBtn3Click);
    connect(ui_->BitBtn4, &QPushButton::clicked, this, &TForm_HJFW::BitBtn4Click);
}

TForm_HJFW::~TForm_HJFW() = default;

QString TForm_HJFW::lookupFailedText() {
    return QStringLiteral("无效的IP地址或此IP地址的主机不存在。请注意网络联接是否正常！");
}

QString TForm_HJFW::lookupFailedCaption() {
    return QStringLiteral("提示");
}

void TForm_HJFW::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

// The dialog has no cancel button: Esc closes nothing.
void TForm_HJFW::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm_HJFW::FormShow() {
    ui_->Edit1->clear();
    ui_->Edit2->clear();
}

void TForm_HJFW::BitBtn1Click() {
    ui_->Edit2->setText(localComputerName());
}

void TForm_HJFW::BitBtn2Click() {
    ui_->BitBtn2->setCursor(Qt::WaitCursor);
    ui_->Edit2->clear();
    // A reverse look-up can hang as long as the name service does: off this thread.
    auto answer = std::make_shared<std::optional<QString>>();
    const QString address = ui_->Edit1->text();
    const CallEnd end =
        runInBackground(this, QStringLiteral("正在获取主机名称…"),
                        [answer, address] { *answer = hostNameOfAddress(address); });
    if (end == CallEnd::Abandoned) {
        ui_->BitBtn2->unsetCursor();
        return;
    }
    const std::optional<QString> hostName = *answer;
    if (!hostName) {
        dialogs_.beep();
        ui_->BitBtn2->unsetCursor();
        dialogs_.message(lookupFailedText(), lookupFailedCaption(), DialogIcon::Information,
                         DialogButtons::Ok);
        return;
    }
    ui_->Edit2->setText(*hostName);
    ui_->BitBtn2->unsetCursor();
}

void TForm_HJFW::BitBtn3Click() {
    const QString serverName = ui_->Edit2->text();
    if (serverBox_) {
        serverBox_->setCurrentText(serverName);
    }
    emit serverNameChosen(serverName);
    close();
}

void TForm_HJFW::BitBtn4Click() {
    close();
}

} // namespace zt::server
