#include "server/sql_servers_list_combo_box.h"

#include "server/servers_searcher.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QMetaObject>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QWidget>

namespace zt::server {

namespace {

constexpr QPalette::ColorGroup allGroups[] = {QPalette::Active, QPalette::Inactive,
                                              QPalette::Disabled};

} // namespace

// The edit area lies over whatever the box paints itself, so the tip is painted by a child
// above it that lets every mouse event through.
class SearchingTip : public QWidget {
public:
    explicit SearchingTip(TSQLServersListComboBox* box) : QWidget(box), box_(box) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        box_->paintSearchingTip(painter);
    }

private:
    TSQLServersListComboBox* box_;
};

TSQLServersListComboBox::TSQLServersListComboBox(QWidget* parent)
    : QComboBox(parent), tipFontColor_(0, 0, 255) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    tip_ = new SearchingTip(this);
    // A layout sets the properties after construction; they are read once the loop runs.
    QMetaObject::invokeMethod(this, &TSQLServersListComboBox::Loaded, Qt::QueuedConnection);
}

// A running search is neither stopped nor waited for: its connections to this box go with
// the box, so it neither writes the list nor reports back.
TSQLServersListComboBox::~TSQLServersListComboBox() = default;

QString TSQLServersListComboBox::searchingTip() {
    return QStringLiteral("正在搜索服务器...");
}

QPoint TSQLServersListComboBox::tipPosition(int boxHeight, int tipHeight, int frameWidth) {
    return {frameWidth, (boxHeight - tipHeight) / 2};
}

int TSQLServersListComboBox::tipFrameWidth() const {
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
}

void TSQLServersListComboBox::Loaded() {
    if (refreshAfterCreate_) {
        RefreshServers();
    }
}

void TSQLServersListComboBox::RefreshServers() {
    if (searching_) {
        return;
    }
    auto* searcher = new TServersSearcher(); // deletes itself once it has ended
    searcher_ = searcher;
    searching_ = true;
    // Queued: the list and the state are changed on this box's thread only.
    connect(searcher, &TServersSearcher::serversFound, this,
            &TSQLServersListComboBox::replaceServers, Qt::QueuedConnection);
    connect(searcher, &QThread::finished, this, &TSQLServersListComboBox::SearchFinished,
            Qt::QueuedConnection);

    savedEnabled_ = !testAttribute(Qt::WA_ForceDisabled);
    setEnabled(false);
    savedEditEnabled_ = lineEdit() != nullptr && !lineEdit()->testAttribute(Qt::WA_ForceDisabled);
    showTipColours();
    savedText_ = currentText();
    setEditText(searchingTip());

    searcher->start();
    tip_->setGeometry(rect());
    tip_->raise();
    tip_->show();
    update();
    emit searchStarted();
}

void TSQLServersListComboBox::showTipColours() {
    savedPalette_ = palette();
    QPalette tipPalette = palette();
    for (const auto group : allGroups) {
        tipPalette.setColor(group, QPalette::Text, tipFontColor_);
    }
    if (lineEdit() == nullptr) {
        setPalette(tipPalette);
        return;
    }
    savedEditPalette_ = lineEdit()->palette();
    setPalette(tipPalette);
    // The edit area keeps the tip as its text but leaves the drawing of it to the tip.
    QPalette editPalette = lineEdit()->palette();
    for (const auto group : allGroups) {
        editPalette.setColor(group, QPalette::Text, Qt::transparent);
    }
    lineEdit()->setPalette(editPalette);
}

void TSQLServersListComboBox::replaceServers(const QStringList& servers) {
    const QString shownText = currentText();
    clear();
    addItems(servers);
    // Filling the list selects no server; the box keeps showing what it showed.
    setCurrentIndex(-1);
    setEditText(shownText);
}

void TSQLServersListComboBox::SearchFinished() {
    setPalette(savedPalette_);
    if (lineEdit() != nullptr) {
        lineEdit()->setEnabled(savedEditEnabled_);
        lineEdit()->setPalette(savedEditPalette_);
    }
    setEditText(savedText_);
    setEnabled(savedEnabled_);
    searcher_ = nullptr;
    searching_ = false;
    tip_->hide();
    update();
    emit searchEnded();
}

void TSQLServersListComboBox::paintSearchingTip(QPainter& painter) const {
    if (!searching_) {
        return;
    }
    const QFontMetrics metrics(font());
    const QPoint topLeft = tipPosition(height(), metrics.height(), tipFrameWidth());
    painter.setFont(font());
    painter.setPen(tipFontColor_);
    painter.drawText(topLeft.x(), topLeft.y() + metrics.ascent(), searchingTip());
}

void TSQLServersListComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    tip_->setGeometry(rect());
}

} // namespace zt::server
