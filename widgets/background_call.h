#pragma once
// A call that may wait long on the network (a server that never answers, a name service that
// hangs), made off the user-interface thread: the window repaints and takes no input meanwhile,
// and when the call lasts more than a moment a small window with "取消" appears. 取消 gives the
// window back at once; the abandoned call goes on to its own end on its thread (so a probe
// database it made is still dropped) and what it answers then is thrown away.

#include <QString>

#include <functional>

class QWidget;

namespace zt {

enum class CallEnd { Finished, Abandoned };

// Runs `call` on a thread of its own. `call` must own everything it uses: after an abandonment
// it outlives this function. A failure of a finished call is thrown again here.
CallEnd runInBackground(QWidget* window, const QString& text, std::function<void()> call,
                        int appearAfterMs = 500);

} // namespace zt
