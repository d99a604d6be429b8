#pragma once
// The host lookup dialog: turns an IPv4 address into its registered host name, or gives this
// computer's name, and hands the name to the server box of the server connection page.

#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QString>

#include <memory>

namespace Ui {
class TForm_HJFW;
}

namespace zt {
class Dialogs;
}

namespace zt::server {

class TForm_HJFW : public QDialog {
    Q_OBJECT

public:
    explicit TForm_HJFW(zt::Dialogs& dialogs, QWidget* parent = nullptr);
    ~TForm_HJFW() override;

    // The box that "确定&S" writes the chosen name into.
    void setServerBox(QComboBox* serverBox) { serverBox_ = serverBox; }

    static QString lookupFailedText();
    static QString lookupFailedCaption();

signals:
    // The name handed over by "确定&S", also when it is empty.
    void serverNameChosen(const QString& serverName);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FormShow();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();

    std::unique_ptr<Ui::TForm_HJFW> ui_;
    zt::Dialogs& dialogs_;
    QPointer<QComboBox> serverBox_;
};

} // namespace zt::server
