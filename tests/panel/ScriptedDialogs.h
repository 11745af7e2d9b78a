#pragma once

#include "ui/widgets/Dialogs.h"

#include <QStringList>

// Records every message instead of showing it; answers OK.
class ScriptedDialogs : public DialogProvider
{
public:
    struct Message
    {
        QString text;
        QString title;
        MessageIcon icon;
        MessageButtons buttons;
    };

    ScriptedDialogs() { setDialogProvider(this); }
    ~ScriptedDialogs() override { setDialogProvider(nullptr); }

    MessageAnswer message(QWidget *, const QString &text, const QString &title, MessageIcon icon,
                          MessageButtons buttons) override
    {
        messages.push_back({ text, title, icon, buttons });
        return MessageAnswer::Ok;
    }
    std::optional<QString> input(QWidget *, const QString &, const QString &,
                                 const QString &) override
    {
        return std::nullopt;
    }
    QString openFileName(QWidget *, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, bool) override { return {}; }
    bool setUpPrinter(QWidget *, QPrinter &, bool) override { return false; }

    std::vector<Message> messages;
};
