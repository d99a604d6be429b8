// zt-bench-ui: the longest time the user-interface thread goes without processing events
// while "下一步&N", a creation, the sample restore and a deletion run against zt-devserver
// behind a 50 ms round trip, and while "下一步&N" waits on a listener that never answers
// (取消 pressed after two seconds). Runs on the offscreen platform; prints one line each.

#include "accountset/form_xzzt.h"
#include "server/form_server.h"
#include "tests/seed/account_set_fixture.h"
#include "tests/support/latency_proxy.h"
#include "tests/support/recording_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Ticks every millisecond and keeps the longest gap between two ticks.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longestMs_ = std::max(longestMs_, clock_.restart()); });
    }
    qint64 measure(const std::function<void()>& action) {
        longestMs_ = 0;
        QElapsedTimer whole;
        whole.start();
        clock_.start();
        timer_.start();
        action();
        longestMs_ = std::max(longestMs_, clock_.restart());
        timer_.stop();
        lastTookMs_ = whole.elapsed();
        return longestMs_;
    }
    // How long the last measured action took in all: what it would stall the window for if it
    // ran on the user-interface thread.
    qint64 lastTookMs() const { return lastTookMs_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longestMs_ = 0;
    qint64 lastTookMs_ = 0;
};

void print(const char* operation, const StallMeter& meter, qint64 stallMs, const char* against) {
    std::printf("%-28s longest stall %6.3f s of %6.3f s  (%s)\n", operation,
                double(stallMs) / 1000.0, double(meter.lastTookMs()) / 1000.0, against);
}

// A port whose connections the kernel completes and nobody answers.
int silentListener(quint16& port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(s, 16);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

void pressCancelLater(int afterMs) {
    QTimer::singleShot(afterMs, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* window = qobject_cast<QProgressDialog*>(widget);
                window && window->isVisible())
                for (QPushButton* button : window->findChildren<QPushButton*>())
                    button->click();
    });
}

template <class T> T* child(QWidget& page, const char* name) {
    return page.findChild<T*>(QString::fromLatin1(name));
}

void proveThroughPage(zt::server::Tform_server& page, const QString& server) {
    page.show();
    child<QRadioButton>(page, "RadioButton2")->click();
    child<QLineEdit>(page, "Edit1")->setText(QStringLiteral("sa"));
    child<QComboBox>(page, "SQLServersListComboBox1")->setEditText(server);
    child<QPushButton>(page, "BitBtn7")->click();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    zt::test::AccountSetFixture fixture;
    if (!fixture.start())
        return 1;
    zt::test::LatencyProxy proxy(fixture.server().port(), std::chrono::milliseconds(50));
    const QString server = QStringLiteral("127.0.0.1,%1").arg(proxy.port());
    zt::test::RecordingDialogs dialogs;
    StallMeter meter;

    zt::server::Tform_server serverPage(dialogs, fixture.localDatabasePath());
    print("下一步&N", meter, meter.measure([&] { proveThroughPage(serverPage, server); }),
          "50 ms RTT");

    quint16 silentPort = 0;
    const int silent = silentListener(silentPort);
    zt::server::Tform_server stalledPage(dialogs, fixture.localDatabasePath());
    pressCancelLater(2000);
    print("下一步&N, 取消 after 2 s", meter, meter.measure([&] {
        proveThroughPage(stalledPage, QStringLiteral("127.0.0.1,%1").arg(silentPort));
    }),
          "silent listener");
    ::close(silent);

    zt::Tform_xzzt page(dialogs);
    page.setLocalDatabasePath(fixture.localDatabasePath());
    page.show();
    child<QLineEdit>(page, "Edit1")->setText(server);
    child<QLineEdit>(page, "Edit2")->setText(QStringLiteral("测速帐"));
    child<QLineEdit>(page, "Edit6")->setText(QStringLiteral("k"));
    child<QCheckBox>(page, "CheckBox1")->setChecked(true);
    print("创建新帐套&A", meter,
          meter.measure([&] { child<QPushButton>(page, "BitBtn1")->click(); }), "50 ms RTT");
    print("创建例子帐套&S", meter,
          meter.measure([&] { child<QPushButton>(page, "BitBtn4")->click(); }), "50 ms RTT");
    print("网络帐套 tab (registry load)", meter,
          meter.measure([&] { child<QTabWidget>(page, "PageControl1")->setCurrentIndex(1); }),
          "50 ms RTT");
    dialogs.answers.push_back(zt::DialogAnswer::Yes);
    child<QPushButton>(page, "BitBtn3")->click();
    child<QLineEdit>(page, "Edit3")->setText(QStringLiteral("k"));
    print("删除&D", meter, meter.measure([&] { child<QPushButton>(page, "BitBtn5")->click(); }),
          "50 ms RTT");
    for (const auto& message : dialogs.messages)
        std::printf("  message: %s\n", qPrintable(message.text.section(u'\n', 0, 0)));
    return 0;
}
