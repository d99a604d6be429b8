// The server list box around one search: saved state, the list written from the search,
// the searching tip, and a box that goes while its search runs.

#include "server/sql_servers_list_combo_box.h"
#include "tests/server/search_test_environment.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <memory>

using zt::server::TServersSearcher;
using zt::server::TSQLServersListComboBox;

namespace {

const QStringList knownServers = [] { return zt::test::SearchTestEnvironment::configServers(); }();

// A box that starts no search of its own.
std::unique_ptr<TSQLServersListComboBox> idleBox() {
    auto box = std::make_unique<TSQLServersListComboBox>();
    box->setRefreshAfterCreate(false);
    box->addItem(QString()); // the one empty entry of the server page's layout
    box->resize(189, 21);
    return box;
}

bool isTipColoured(QRgb pixel) {
    return qBlue(pixel) > 150 && qRed(pixel) < 90 && qGreen(pixel) < 90;
}

// The rows and columns that hold tip-coloured pixels, as a rectangle; null when none.
QRect tipColouredArea(const QImage& image) {
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (isTipColoured(image.pixel(x, y))) {
                area = area.united(QRect(x, y, 1, 1));
            }
        }
    }
    return area;
}

} // namespace

class ComboBoxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void startsWithItsDefaults();
    void searchesOnceLoaded();
    void noSearchWhenNotAskedFor();
    void searchingShowsTheTip();
    void givesBackItsTextAndFillsTheList();
    void enabledBoxIsEnabledAgain();
    void disabledBoxStaysDisabled();
    void secondRefreshIsIgnored();
    void canSearchAgainAfterwards();
    void writesTheListOnItsOwnThread();
    void goneBoxIsNeitherWrittenNorCalled();
    void tipPosition_data();
    void tipPosition();
    void paintsTheTipWhereItBelongs();

private:
    std::unique_ptr<zt::test::SearchTestEnvironment> environment_;
};

void ComboBoxTest::initTestCase() {
    // No driver named "SQL Server": the searches answer from the test's FreeTDS servers.
    environment_ = std::make_unique<zt::test::SearchTestEnvironment>(false);
    QVERIFY(environment_->isValid());
}

void ComboBoxTest::startsWithItsDefaults() {
    TSQLServersListComboBox box;
    QVERIFY(box.RefreshAfterCreate());
    QCOMPARE(box.TipFontColor(), QColor(0, 0, 255));
    QVERIFY(box.isEditable());
    QCOMPARE(box.property("RefreshAfterCreate").toBool(), true);
    QVERIFY(box.setProperty("TipFontColor", QColor(Qt::red)));
    QCOMPARE(box.TipFontColor(), QColor(Qt::red));
    box.setRefreshAfterCreate(false);
}

void ComboBoxTest::searchesOnceLoaded() {
    TSQLServersListComboBox box;
    QSignalSpy started(&box, &TSQLServersListComboBox::searchStarted);
    QSignalSpy ended(&box, &TSQLServersListComboBox::searchEnded);
    QCOMPARE(started.count(), 0); // not before the properties of a layout are in

    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(started.count(), 1);
    QVERIFY(box.count() >= knownServers.size());
    for (int i = 0; i < knownServers.size(); ++i) {
        QCOMPARE(box.itemText(i), knownServers.at(i));
    }
    QCOMPARE(box.currentText(), QString());
}

void ComboBoxTest::noSearchWhenNotAskedFor() {
    auto box = idleBox();
    QSignalSpy started(box.get(), &TSQLServersListComboBox::searchStarted);
    // The start of a search is one queued call; after it has been delivered nothing follows.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(started.count(), 0);
    QVERIFY(!box->isSearching());
    QCOMPARE(box->count(), 1);
    QVERIFY(box->isEnabled());
}

void ComboBoxTest::searchingShowsTheTip() {
    auto box = idleBox();
    box->setTipFontColor(QColor(0, 128, 0));
    const QColor textColour = box->palette().color(QPalette::Text);
    box->RefreshServers();

    QVERIFY(box->isSearching());
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->currentText(), QStringLiteral("正在搜索服务器..."));
    QCOMPARE(box->palette().color(QPalette::Disabled, QPalette::Text), QColor(0, 128, 0));

    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(box->palette().color(QPalette::Text), textColour);
}

void ComboBoxTest::givesBackItsTextAndFillsTheList() {
    auto box = idleBox();
    box->setEditText(QStringLiteral("typed server"));
    box->RefreshServers();
    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);

    QCOMPARE(box->currentText(), QStringLiteral("typed server"));
    QCOMPARE(box->lineEdit()->text(), QStringLiteral("typed server"));
    QVERIFY(box->count() >= knownServers.size());
    QCOMPARE(box->itemText(0), knownServers.first());
    QVERIFY(box->findText(QString()) < 0); // the empty design entry went with the old list
    QCOMPARE(box->currentIndex(), -1);     // no found server is selected by the search
}

void ComboBoxTest::enabledBoxIsEnabledAgain() {
    auto box = idleBox();
    box->RefreshServers();
    QVERIFY(!box->isEnabled());
    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(box->isEnabled());
    QVERIFY(box->lineEdit()->isEnabled());
    QVERIFY(!box->isSearching());
}

void ComboBoxTest::disabledBoxStaysDisabled() {
    auto box = idleBox();
    box->setEnabled(false);
    box->RefreshServers();
    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!box->isEnabled());
    box->setEnabled(true);
    QVERIFY(box->lineEdit()->isEnabled());
}

void ComboBoxTest::secondRefreshIsIgnored() {
    auto box = idleBox();
    box->setEditText(QStringLiteral("first"));
    QSignalSpy started(box.get(), &TSQLServersListComboBox::searchStarted);
    box->RefreshServers();
    const QPointer<TServersSearcher> searcher = box->searcher();
    QVERIFY(searcher);
    box->RefreshServers();
    QCOMPARE(started.count(), 1);
    QCOMPARE(box->searcher(), searcher.data());

    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    // The ignored call saved nothing: the text from before the first call comes back.
    QCOMPARE(box->currentText(), QStringLiteral("first"));
}

void ComboBoxTest::canSearchAgainAfterwards() {
    auto box = idleBox();
    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    box->RefreshServers();
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(box->searcher() == nullptr);
    box->RefreshServers();
    QVERIFY(box->isSearching());
    QTRY_COMPARE(ended.count(), 2);
}

void ComboBoxTest::writesTheListOnItsOwnThread() {
    auto box = idleBox();
    QList<QThread*> writers;
    connect(
        box->model(), &QAbstractItemModel::rowsInserted, box.get(),
        [&writers] { writers.append(QThread::currentThread()); }, Qt::DirectConnection);
    connect(
        box->model(), &QAbstractItemModel::rowsRemoved, box.get(),
        [&writers] { writers.append(QThread::currentThread()); }, Qt::DirectConnection);
    box->RefreshServers();
    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!writers.isEmpty());
    for (QThread* writer : writers) {
        QCOMPARE(writer, box->thread());
    }
}

void ComboBoxTest::goneBoxIsNeitherWrittenNorCalled() {
    // Run under AddressSanitizer: a write into the gone box or a call of it would be caught.
    auto box = idleBox();
    box->RefreshServers();
    const QPointer<TServersSearcher> searcher = box->searcher();
    QVERIFY(searcher);
    box.reset();
    QTRY_VERIFY(searcher.isNull()); // ended and freed itself, with nobody to tell
}

void ComboBoxTest::tipPosition_data() {
    QTest::addColumn<int>("boxHeight");
    QTest::addColumn<int>("tipHeight");
    QTest::addColumn<int>("frameWidth");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("box 21, tip 13") << 21 << 13 << 3 << QPoint(3, 4);
    QTest::newRow("odd space rounds down") << 22 << 13 << 3 << QPoint(3, 4);
    QTest::newRow("even space") << 21 << 15 << 2 << QPoint(2, 3);
    QTest::newRow("tip fills the box") << 21 << 21 << 2 << QPoint(2, 0);
    QTest::newRow("tip taller than the box rounds toward zero") << 12 << 21 << 2 << QPoint(2, -4);
}

void ComboBoxTest::tipPosition() {
    QFETCH(int, boxHeight);
    QFETCH(int, tipHeight);
    QFETCH(int, frameWidth);
    QFETCH(QPoint, topLeft);
    QCOMPARE(TSQLServersListComboBox::tipPosition(boxHeight, tipHeight, frameWidth), topLeft);
}

void ComboBoxTest::paintsTheTipWhereItBelongs() {
    auto box = idleBox();
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));
    QVERIFY(!tipColouredArea(box->grab().toImage()).isValid());

    box->RefreshServers();
    // Painted before the search can report back: its end is delivered by the event loop.
    const QImage searching = box->grab().toImage();
    const QRect area = tipColouredArea(searching);
    QVERIFY2(area.isValid(), "no tip painted");
    const QFontMetrics metrics(box->font());
    const QPoint topLeft =
        TSQLServersListComboBox::tipPosition(box->height(), metrics.height(), box->tipFrameWidth());
    QVERIFY2(area.left() >= topLeft.x() && area.left() <= topLeft.x() + metrics.height(),
             qPrintable(QStringLiteral("tip starts at x %1").arg(area.left())));
    QVERIFY2(area.top() >= topLeft.y() && area.bottom() < topLeft.y() + metrics.height(),
             qPrintable(QStringLiteral("tip rows %1..%2").arg(area.top()).arg(area.bottom())));

    QSignalSpy ended(box.get(), &TSQLServersListComboBox::searchEnded);
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(!tipColouredArea(box->grab().toImage()).isValid());
}

QTEST_MAIN(ComboBoxTest)
#include "tst_combo_box.moc"
