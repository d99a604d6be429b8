#pragma once
// The dialog seam on Qt Widgets: message boxes and input boxes without owner window, and the
// system beep.

#include "core/dialogs.h"

namespace zt {

class WidgetDialogs : public Dialogs {
public:
    DialogAnswer message(const QString& text, const QString& caption, DialogIcon icon,
                         DialogButtons buttons = DialogButtons::Ok) override;
    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     bool masked) override;
    void beep() override;
};

} // namespace zt
