#include "widgets/background_call.h"

#include "widgets/input_hold.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace zt {

namespace {

// What the call's thread and the waiting window share; it lives as long as either needs it.
struct CallState {
    std::mutex mutex;
    bool abandoned = false; // the window no longer waits: nothing more is told to it
    QObject* waiter = nullptr;
    std::exception_ptr failure;
};

void tellDone(const std::shared_ptr<CallState>& state, std::exception_ptr failure) {
    const std::lock_guard lock(state->mutex);
    if (state->abandoned)
        return;
    state->failure = std::move(failure);
    // Posted while the lock is held: the waiter cannot be destroyed before it is.
    QMetaObject::invokeMethod(state->waiter, "quit", Qt::QueuedConnection);
}

} // namespace

CallEnd runInBackground(QWidget* window, const QString& text, std::function<void()> call,
                        int appearAfterMs) {
    QEventLoop loop;
    auto state = std::make_shared<CallState>();
    state->waiter = &loop;
    const InputHold hold(window);

    QProgressDialog progress(text, QString(), 0, 0, window);
    progress.setWindowTitle(window ? window->window()->windowTitle() : QString());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setCancelButton(new QPushButton(QStringLiteral("取消"), &progress));
    progress.hide();
    bool abandoned = false;
    QObject::disconnect(&progress, &QProgressDialog::canceled, &progress, &QProgressDialog::cancel);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        abandoned = true;
        loop.quit();
    });
    QTimer appear;
    appear.setSingleShot(true);
    QObject::connect(&appear, &QTimer::timeout, &progress, [&] { progress.show(); });
    appear.start(appearAfterMs);

    std::thread([state, call = std::move(call)] {
        try {
            call();
            tellDone(state, nullptr);
        } catch (...) {
            tellDone(state, std::current_exception());
        }
    }).detach();
    loop.exec();

    std::exception_ptr failure;
    {
        const std::lock_guard lock(state->mutex);
        state->abandoned = true;
        failure = state->failure;
    }
    progress.hide();
    if (abandoned)
        return CallEnd::Abandoned;
    if (failure)
        std::rethrow_exception(failure);
    return CallEnd::Finished;
}

} // namespace zt
