#pragma once
// The empty auxiliary window: created at start-up with the others, never shown.

#include <QWidget>

#include <memory>

namespace Ui {
class TForm1;
}

namespace zt {

class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

private:
    std::unique_ptr<Ui::TForm1> ui_;
};

} // namespace zt
