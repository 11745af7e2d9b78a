#include "ScriptedDialogs.h"

#include "platform/Delay.h"

#include <QPrinter>

namespace {
template<typename T> bool takeFront(std::deque<T> &queue, T &answer)
{
    if (queue.empty())
        return false;
    answer = std::move(queue.front());
    queue.pop_front();
    return true;
}

ScriptedDialogs::Call newCall(ScriptedDialogs::Kind kind)
{
    ScriptedDialogs::Call call;
    call.kind = kind;
    return call;
}
} // namespace

ScriptedDialogs::ScriptedDialogs()
    : m_previous(&dialogs())
{
    setDialogProvider(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    setDialogProvider(m_previous);
}

std::vector<ScriptedDialogs::Call> ScriptedDialogs::callsOf(Kind kind) const
{
    std::vector<Call> out;
    for (const Call &call : m_calls) {
        if (call.kind == kind)
            out.push_back(call);
    }
    return out;
}

QStringList ScriptedDialogs::messageTexts() const
{
    QStringList texts;
    for (const Call &call : m_calls) {
        if (call.kind == Kind::Message)
            texts << call.text;
    }
    return texts;
}

int ScriptedDialogs::pendingAnswers() const
{
    return int(m_messages.size() + m_inputs.size() + m_opens.size() + m_saves.size()
               + m_printers.size());
}

MessageAnswer ScriptedDialogs::message(QWidget *, const QString &text, const QString &title,
                                       MessageIcon icon, MessageButtons buttons)
{
    Call call = newCall(Kind::Message);
    call.text = text;
    call.title = title;
    call.icon = icon;
    call.buttons = buttons;
    MessageAnswer answer = MessageAnswer::Ok;
    call.answered = takeFront(m_messages, answer);
    m_calls.push_back(call);
    if (m_messageOpenMs > 0)
        Delay(m_messageOpenMs / 1000.0);
    if (call.answered)
        return answer;
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::OkCancel:
        return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
        break;
    }
    return MessageAnswer::No;
}

MessageAnswer ScriptedDialogs::messageWithChoice(QWidget *, const QString &text,
                                                 const QString &reason,
                                                 const QString &choiceCaption, MessageIcon icon)
{
    Call call = newCall(Kind::Message);
    call.text = text;
    call.reason = reason;
    call.choice = choiceCaption;
    call.icon = icon;
    MessageAnswer answer = MessageAnswer::Ok;
    call.answered = takeFront(m_messages, answer);
    m_calls.push_back(call);
    return answer == MessageAnswer::Yes ? MessageAnswer::Yes : MessageAnswer::Ok;
}

std::optional<QString> ScriptedDialogs::input(QWidget *, const QString &prompt,
                                              const QString &title, const QString &defaultText)
{
    Call call = newCall(Kind::Input);
    call.text = prompt;
    call.title = title;
    call.defaultText = defaultText;
    std::optional<QString> answer;
    call.answered = takeFront(m_inputs, answer);
    m_calls.push_back(call);
    return answer;
}

QString ScriptedDialogs::openFileName(QWidget *, const QString &pipeFilter)
{
    Call call = newCall(Kind::OpenFile);
    call.filter = pipeFilter;
    QString answer;
    call.answered = takeFront(m_opens, answer);
    m_calls.push_back(call);
    return answer;
}

QString ScriptedDialogs::saveFileName(QWidget *, const QString &pipeFilter, bool askOverwrite)
{
    Call call = newCall(Kind::SaveFile);
    call.filter = pipeFilter;
    call.askOverwrite = askOverwrite;
    QString answer;
    call.answered = takeFront(m_saves, answer);
    m_calls.push_back(call);
    return answer;
}

bool ScriptedDialogs::setUpPrinter(QWidget *, QPrinter &printer, bool allowCopies)
{
    Call call = newCall(Kind::Printer);
    call.allowCopies = allowCopies;
    PrinterAnswer answer;
    call.answered = takeFront(m_printers, answer);
    m_calls.push_back(call);
    if (!call.answered || !answer.accept)
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(answer.pdfPath);
    printer.setCopyCount(allowCopies ? answer.copies : 1);
    printer.setPageOrientation(answer.orientation);
    return true;
}
