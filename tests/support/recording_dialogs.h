#pragma once
// A zt::Dialogs for tests: records every message box (text, caption, icon, buttons), every
// beep and every input box, in the order they came, and answers questions and input boxes
// from queues the test fills beforehand.

#include "core/dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <deque>
#include <functional>
#include <optional>

namespace zt::test {

class RecordingDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString caption;
        DialogIcon icon = DialogIcon::None;
        DialogButtons buttons = DialogButtons::Ok;
    };
    struct Input {
        QString caption;
        QString prompt;
        bool masked = false;
    };

    // What happened, in order: "message", "beep" or "input" (to check a beep precedes a box).
    QStringList events;
    QList<Message> messages;
    QList<Input> inputs;
    int beeps = 0;
    // Questions asked or input boxes shown while their queue was empty.
    int unanswered = 0;

    // Answers to message boxes with more than an OK button, taken front first. A box with
    // only OK is answered Ok without using the queue.
    std::deque<DialogAnswer> answers;
    // Input box results, front first; nullopt stands for Cancel.
    std::deque<std::optional<QString>> inputAnswers;

    // Called while a message box is "open", to look at the windows at that moment.
    std::function<void(const Message&)> onMessage;

    DialogAnswer message(const QString& text, const QString& caption, DialogIcon icon,
                         DialogButtons buttons = DialogButtons::Ok) override {
        const Message recorded{text, caption, icon, buttons};
        events << QStringLiteral("message");
        messages << recorded;
        if (onMessage)
            onMessage(recorded);
        if (buttons == DialogButtons::Ok)
            return DialogAnswer::Ok;
        if (answers.empty()) {
            ++unanswered;
            qWarning("RecordingDialogs: unanswered question \"%s\"", qUtf8Printable(text));
            return buttons == DialogButtons::OkCancel ? DialogAnswer::Cancel : DialogAnswer::No;
        }
        const DialogAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::optional<QString> inputText(const QString& caption, const QString& prompt,
                                     bool masked) override {
        events << QStringLiteral("input");
        inputs << Input{caption, prompt, masked};
        if (inputAnswers.empty()) {
            ++unanswered;
            qWarning("RecordingDialogs: unanswered input box \"%s\"", qUtf8Printable(prompt));
            return std::nullopt;
        }
        // Copied out as a plain text: GCC 12 -O2 wrongly warns on copying the optional here.
        const bool cancelled = !inputAnswers.front().has_value();
        const QString answer = inputAnswers.front().value_or(QString());
        inputAnswers.pop_front();
        if (cancelled)
            return std::nullopt;
        return answer;
    }

    void beep() override {
        events << QStringLiteral("beep");
        ++beeps;
    }

    // The texts of all messages so far, for short comparisons.
    QStringList messageTexts() const {
        QStringList texts;
        for (const Message& m : messages)
            texts << m.text;
        return texts;
    }

    void clear() {
        events.clear();
        messages.clear();
        inputs.clear();
        beeps = 0;
        unanswered = 0;
    }
};

} // namespace zt::test
