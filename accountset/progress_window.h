#pragma once
// A long account-set operation off the user-interface thread, behind a small modal progress
// window that names the stage and moves: the windows keep repainting while the server works.
// "取消" asks the work to stop at its next stage boundary (the operation then takes back what
// it made and leaves with accountset::Cancelled).

#include "accountset/operations.h"
#include "core/dialogs.h"

#include <QString>

#include <functional>

class QWidget;

namespace zt {

class ProgressWindow {
public:
    // The work gets the dialogs to use (they show on the user-interface thread) and the
    // progress to report through.
    using Work =
        std::function<void(Dialogs& dialogs, const accountset::CreationProgress& progress)>;

    // cancellable: whether the window has "取消".
    ProgressWindow(QWidget* owner, Dialogs& dialogs, QString firstText, bool cancellable);

    // Runs the work on a worker thread and returns when it has ended; a failure of the work is
    // thrown again here. Meanwhile the events of this thread go on, under the modal window.
    void run(const Work& work);

    // Runs `call` on the user-interface thread and waits for it (for what the work must do to
    // the windows).
    static void onUiThread(QWidget* context, const std::function<void()>& call);

private:
    QWidget* owner_;
    Dialogs& dialogs_;
    QString firstText_;
    bool cancellable_;
};

} // namespace zt
