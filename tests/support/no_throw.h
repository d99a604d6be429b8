#pragma once
// An exception that leaves a test function ends the whole Qt Test program (Qt rethrows it
// after recording the failure), so every later function is lost. Helpers run what may throw
// through succeeds() and report false, with the exception's text, instead.

#include <QtGlobal>

#include <exception>

namespace zt::test {

template <typename Action> bool succeeds(const char* what, Action&& action) {
    try {
        action();
        return true;
    } catch (const std::exception& error) {
        qWarning("%s: %s", what, error.what());
        return false;
    }
}

} // namespace zt::test
