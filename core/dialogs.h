#pragma once
// The one seam for message boxes, questions, input boxes and beeps. Windows and operations
// receive a Dialogs& so that tests can see every message and answer every question.
// No Widgets here: the core's operations use it too.

#include <QString>

#include <optional>

namespace zt {

enum class DialogIcon { None, Information, Warning, Error, Question };
enum class DialogButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class DialogAnswer { Ok, Cancel, Yes, No };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal message box without owner window.
    virtual DialogAnswer message(const QString& text, const QString& caption, DialogIcon icon,
                                 DialogButtons buttons = DialogButtons::Ok) = 0;
    // A modal input box; nullopt when cancelled. masked: every character shown as '*'.
    virtual std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                             bool masked) = 0;
    // The system's default beep.
    virtual void beep() = 0;
};

} // namespace zt
