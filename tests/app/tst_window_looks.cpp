// What the user sees on the pages: every password shown as "*", the delete-password box
// drawn opaque over the grid of network account sets.

#include "accountset/form_xzzt.h"
#include "server/form_server.h"
#include "server/sql_servers_list_combo_box.h"
#include "tests/support/recording_dialogs.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QtTest/QtTest>

#include <memory>

using zt::Tform_xzzt;
using zt::server::Tform_server;
using zt::server::TSQLServersListComboBox;

class TestWindowLooks : public QObject {
    Q_OBJECT

private slots:
    void passwordsShowStars_data();
    void passwordsShowStars();
    void deleteBoxHidesTheGrid();

private:
    zt::test::RecordingDialogs dialogs_;
};

namespace {

// The pages without a search for servers: nothing runs beside the test.
std::unique_ptr<QWidget> makePage(const QString& page, zt::Dialogs& dialogs) {
    if (page == QLatin1String("Tform_server")) {
        auto serverPage = std::make_unique<Tform_server>(dialogs, QStringLiteral("/nonexistent"));
        serverPage->findChild<TSQLServersListComboBox*>()->setRefreshAfterCreate(false);
        return serverPage;
    }
    return std::make_unique<Tform_xzzt>(dialogs);
}

} // namespace

void TestWindowLooks::passwordsShowStars_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("edit");
    QTest::newRow("SQL login password") << "Tform_server"
                                        << "Edit2";
    QTest::newRow("account-set password") << "Tform_xzzt"
                                          << "Edit6";
    QTest::newRow("delete password") << "Tform_xzzt"
                                     << "Edit3";
}

void TestWindowLooks::passwordsShowStars() {
    QFETCH(QString, page);
    QFETCH(QString, edit);
    const std::unique_ptr<QWidget> window = makePage(page, dialogs_);
    auto* field = window->findChild<QLineEdit*>(edit);
    QVERIFY(field);
    QCOMPARE(field->echoMode(), QLineEdit::Password);
    field->setEnabled(true);
    field->setText(QStringLiteral("密码ab1"));
    QCOMPARE(field->displayText(), QStringLiteral("*****"));
    // No other password field shows its characters some other way.
    for (const QLineEdit* other : window->findChildren<QLineEdit*>()) {
        if (other->echoMode() == QLineEdit::Password)
            QCOMPARE(
                other->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, other),
                int(u'*'));
    }
}

void TestWindowLooks::deleteBoxHidesTheGrid() {
    Tform_xzzt page(dialogs_);
    auto* tabs = page.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    auto* grid = page.findChild<QTableView*>(QStringLiteral("DBGrid1"));
    auto* box = page.findChild<QGroupBox*>(QStringLiteral("GroupBox1"));
    QVERIFY(tabs && grid && box);
    // Grid rows in a colour the page itself never uses.
    QStandardItemModel rows(12, 1);
    for (int row = 0; row < rows.rowCount(); ++row) {
        rows.setData(rows.index(row, 0), QStringLiteral("账套%1").arg(row));
        rows.setData(rows.index(row, 0), QColor(Qt::red), Qt::BackgroundRole);
    }
    grid->setModel(&rows);
    grid->horizontalHeader()->hide(); // rows behind the box's title too
    grid->setColumnWidth(0, grid->width());
    page.show();
    tabs->setCurrentIndex(1);
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    const QImage shot = tabs->currentWidget()->grab().toImage();
    const QColor background = box->palette().color(QPalette::Window);
    // The style may tint a box's inside a little; the grid's rows and lines are far off.
    const auto isBackground = [&background](const QColor& seen) {
        return qAbs(seen.red() - background.red()) <= 8 &&
               qAbs(seen.green() - background.green()) <= 8 &&
               qAbs(seen.blue() - background.blue()) <= 8;
    };
    // Gaps of the box between its label, field and buttons, over the grid's rows.
    for (const QPoint inBox : {QPoint(40, 53), QPoint(120, 53), QPoint(150, 88), QPoint(4, 40)}) {
        const QColor seen = shot.pixelColor(box->geometry().topLeft() + inBox);
        QVERIFY2(isBackground(seen), qPrintable(QStringLiteral("at %1,%2: %3 instead of %4")
                                                    .arg(inBox.x())
                                                    .arg(inBox.y())
                                                    .arg(seen.name(), background.name())));
    }
    // Beside the box the grid's rows still show.
    const QColor beside = shot.pixelColor(grid->geometry().topLeft() + QPoint(70, 60));
    QVERIFY2(beside.red() > 150 && beside.green() < 80, qPrintable(beside.name()));
}

QTEST_MAIN(TestWindowLooks)
#include "tst_window_looks.moc"
