#include "app/form1.h"

#include "ui_form1.h"

namespace zt {

TForm1::TForm1(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TForm1>()) {
    ui_->setupUi(this);
}

TForm1::~TForm1() = default;

} // namespace zt
