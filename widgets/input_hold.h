#pragma once
// While an operation of a window works in the background, that window keeps repainting but
// takes no clicks, keys or shortcuts, so that nothing starts twice; other windows (a message
// box of the operation, its progress window) take input as usual.

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace zt {

class InputHold : public QObject {
public:
    explicit InputHold(QWidget* window);
    ~InputHold() override;
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
};

} // namespace zt
