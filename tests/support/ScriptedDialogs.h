#pragma once

#include "widgets/Dialogs.h"

#include <QPageLayout>
#include <QString>

#include <deque>
#include <optional>
#include <vector>

// A dialog provider for tests: every dialog takes the next scripted answer and
// every call is recorded with its exact texts. A call without a scripted
// answer never blocks: it is recorded and gets the safe answer (Ok for an Ok
// box, Cancel or No otherwise, a cancelled input, file or printer dialog).
// It installs itself while it lives and puts the previous provider back.
class ScriptedDialogs : public DialogProvider
{
public:
    enum class Kind { Message, Input, OpenFile, SaveFile, Printer };

    struct Call
    {
        Kind kind = Kind::Message;
        QString text; // message text or input prompt
        QString title;
        MessageIcon icon = MessageIcon::None;
        MessageButtons buttons = MessageButtons::Ok;
        QString defaultText;
        QString reason; // below a message with a choice
        QString choice; // its second button
        QString filter; // pipe form, as passed
        bool askOverwrite = false;
        bool allowCopies = false;
        bool answered = false; // false: the safe default was returned
    };

    // What the scripted printer dialog does: on accept the printer writes a
    // PDF to pdfPath with the given copies and orientation.
    struct PrinterAnswer
    {
        bool accept = true;
        QString pdfPath;
        int copies = 1;
        QPageLayout::Orientation orientation = QPageLayout::Portrait;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    void answerMessage(MessageAnswer answer) { m_messages.push_back(answer); }
    void answerInput(std::optional<QString> answer) { m_inputs.push_back(std::move(answer)); }
    void answerOpen(const QString &path) { m_opens.push_back(path); }
    void answerSave(const QString &path) { m_saves.push_back(path); }
    void answerPrinter(const PrinterAnswer &answer) { m_printers.push_back(answer); }

    // Every message box then stays open this long, events running, as a
    // user reading it would keep it (0: answered at once).
    void keepMessagesOpen(int ms) { m_messageOpenMs = ms; }

    const std::vector<Call> &calls() const { return m_calls; }
    std::vector<Call> callsOf(Kind kind) const;
    // The texts of the message boxes shown, in order.
    QStringList messageTexts() const;
    // Scripted answers not used yet, of every kind.
    int pendingAnswers() const;

    MessageAnswer message(QWidget *parent, const QString &text, const QString &title,
                          MessageIcon icon, MessageButtons buttons) override;
    // Answered from the message answers: Yes takes the second button.
    MessageAnswer messageWithChoice(QWidget *parent, const QString &text, const QString &reason,
                                    const QString &choiceCaption, MessageIcon icon) override;
    std::optional<QString> input(QWidget *parent, const QString &prompt, const QString &title,
                                 const QString &defaultText) override;
    QString openFileName(QWidget *parent, const QString &pipeFilter) override;
    QString saveFileName(QWidget *parent, const QString &pipeFilter, bool askOverwrite) override;
    bool setUpPrinter(QWidget *parent, QPrinter &printer, bool allowCopies) override;

private:
    std::deque<MessageAnswer> m_messages;
    std::deque<std::optional<QString>> m_inputs;
    std::deque<QString> m_opens;
    std::deque<QString> m_saves;
    std::deque<PrinterAnswer> m_printers;
    std::vector<Call> m_calls;
    int m_messageOpenMs = 0;
    DialogProvider *m_previous;
};
