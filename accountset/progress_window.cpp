#include "accountset/progress_window.h"

#include "widgets/input_hold.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>

namespace zt {

namespace {

constexpr int steps = 100;
constexpr int appearAfterMs = 500;

// Where a stage sits on the bar: the tables take most of a creation.
int stepOf(accountset::CreationStage stage, int done, int total) {
    const int within = total > 0 ? done * 100 / total : 0;
    switch (stage) {
    case accountset::CreationStage::CreatingDatabase:
        return 2;
    case accountset::CreationStage::CreatingTables:
        return 5 + within * 65 / 100;
    case accountset::CreationStage::WritingDefaultData:
        return 70 + within * 20 / 100;
    case accountset::CreationStage::Registering:
        return 92;
    }
    return 0;
}

// The progress dialog stays open until the work has ended: Esc and the close box ask to
// cancel, as "取消" does, instead of hiding it.
class StayingProgressDialog : public QProgressDialog {
public:
    using QProgressDialog::QProgressDialog;
    void reject() override { emit canceled(); }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->ignore();
        emit canceled();
    }
};

// Shows messages and asks questions on the user-interface thread, for a work that runs on
// another one.
// Every box of the operation first closes the progress window for good: no live "取消" is
// left behind a box, where a click meant for the box's button would land on it.
class UiThreadDialogs : public Dialogs {
public:
    UiThreadDialogs(Dialogs& shown, QWidget* context, std::function<void()> beforeBox)
        : shown_(shown), context_(context), beforeBox_(std::move(beforeBox)) {}

    DialogAnswer message(const QString& text, const QString& caption, DialogIcon icon,
                         DialogButtons buttons) override {
        DialogAnswer answer = DialogAnswer::Ok;
        ProgressWindow::onUiThread(context_, [&] {
            beforeBox_();
            answer = shown_.message(text, caption, icon, buttons);
        });
        return answer;
    }
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     bool masked) override {
        std::optional<QString> answer;
        ProgressWindow::onUiThread(context_, [&] {
            beforeBox_();
            answer = shown_.inputText(caption, prompt, masked);
        });
        return answer;
    }
    void beep() override {
        ProgressWindow::onUiThread(context_, [&] { shown_.beep(); });
    }

private:
    Dialogs& shown_;
    QWidget* context_;
    std::function<void()> beforeBox_;
};

// Wide enough for its whole title, which a narrow window would cut.
void fitTitle(QWidget& window, const QString& title) {
    const int frameAndButtons = 160;
    window.setMinimumWidth(std::max(
        window.minimumWidth(), window.fontMetrics().horizontalAdvance(title) + frameAndButtons));
}

} // namespace

ProgressWindow::ProgressWindow(QWidget* owner, Dialogs& dialogs, QString firstText,
                               bool cancellable)
    : owner_(owner), dialogs_(dialogs), firstText_(std::move(firstText)),
      cancellable_(cancellable) {}

void ProgressWindow::onUiThread(QWidget* context, const std::function<void()>& call) {
    if (QThread::currentThread() == context->thread())
        call();
    else
        QMetaObject::invokeMethod(context, call, Qt::BlockingQueuedConnection);
}

void ProgressWindow::run(const Work& work) {
    StayingProgressDialog window(firstText_, QString(), 0, steps, owner_);
    window.setWindowTitle(owner_ ? owner_->windowTitle() : QString());
    window.setWindowModality(Qt::ApplicationModal);
    window.setAutoClose(false);
    window.setAutoReset(false);
    window.setMinimumDuration(0);
    std::atomic<bool> cancelRequested{false};
    if (cancellable_) {
        auto* cancel = new QPushButton(QStringLiteral("取消"), &window);
        window.setCancelButton(cancel);
        // The window stays until the work has stopped; the request is all "取消" does.
        QObject::disconnect(&window, &QProgressDialog::canceled, &window, &QProgressDialog::cancel);
        QObject::connect(&window, &QProgressDialog::canceled, &window, [&cancelRequested, cancel] {
            cancelRequested = true;
            cancel->setEnabled(false);
        });
    } else {
        window.setCancelButton(nullptr);
    }
    window.setValue(0);
    fitTitle(window, window.windowTitle());
    // The window appears only for work that lasts more than a moment; till then the owner's
    // window takes no input, so nothing starts twice.
    const InputHold hold(owner_);
    bool boxShown = false;
    QTimer appear;
    appear.setSingleShot(true);
    QObject::connect(&appear, &QTimer::timeout, &window, [&] {
        if (!boxShown)
            window.show();
    });
    appear.start(appearAfterMs);

    UiThreadDialogs dialogs(dialogs_, &window, [&] {
        boxShown = true;
        appear.stop();
        window.hide();
    });
    const accountset::CreationProgress progress = [&](accountset::CreationStage stage, int done,
                                                      int total) {
        if (cancelRequested)
            throw accountset::Cancelled();
        const QString text = accountset::stageText(stage, done, total);
        const int step = stepOf(stage, done, total);
        QMetaObject::invokeMethod(
            &window,
            [&window, text, step] {
                window.setLabelText(text);
                window.setValue(step);
            },
            Qt::QueuedConnection);
    };

    std::exception_ptr failure;
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            work(dialogs, progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    worker->start();
    loop.exec();
    worker->wait();
    window.hide();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace zt
