#pragma once

#include <QPageLayout>
#include <QString>
#include <QStringList>

#include <optional>

class QPrinter;
class QWidget;

// Every modal dialog of the program goes through this provider, so that tests
// can script the answers and no test ever blocks on a dialog.
enum class MessageIcon { None, Critical, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

class DialogProvider
{
public:
    virtual ~DialogProvider() = default;

    // An empty title means the program's name ("VORN").
    virtual MessageAnswer message(QWidget *parent, const QString &text, const QString &title,
                                  MessageIcon icon, MessageButtons buttons)
        = 0;

    // The input box: std::nullopt when cancelled; an accepted empty text is "".
    virtual std::optional<QString> input(QWidget *parent, const QString &prompt,
                                         const QString &title, const QString &defaultText)
        = 0;

    // A message with the system's reason below its text and, beside OK, a
    // button that offers another way on (choiceCaption). Returns Yes when that
    // button was chosen, Ok otherwise.
    virtual MessageAnswer messageWithChoice(QWidget *parent, const QString &text,
                                            const QString &reason, const QString &choiceCaption,
                                            MessageIcon icon);

    // One of `items` chosen from a list (by keyboard too): its index, or
    // std::nullopt when cancelled. The default takes the first.
    virtual std::optional<int> chooseItem(QWidget *parent, const QString &prompt,
                                          const QString &title, const QStringList &items);

    // File dialogs take the filter in its pipe form
    // ("Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|"). An empty result
    // means cancelled.
    virtual QString openFileName(QWidget *parent, const QString &pipeFilter) = 0;
    // Several files at once; empty when cancelled.
    virtual QStringList openFileNames(QWidget *parent, const QString &pipeFilter);
    virtual QString saveFileName(QWidget *parent, const QString &pipeFilter, bool askOverwrite) = 0;

    // Lets the user choose the printer, copies and orientation. False when
    // cancelled. allowCopies=false hides the copies choice.
    virtual bool setUpPrinter(QWidget *parent, QPrinter &printer, bool allowCopies) = 0;
};

// The provider in use; a Qt one unless a test installed its own.
DialogProvider &dialogs();
// Installs a provider (not owned); nullptr restores the Qt one.
void setDialogProvider(DialogProvider *provider);

// Turns "Data Files (*.vorn)|*.vorn|All Files (*.*)|*.*|" into Qt's
// "Data Files (*.vorn);;All Files (*)" ("*.*" would miss names without a dot).
QString qtFilterFromPipeFilter(const QString &pipeFilter);

inline QString programName()
{
    return QStringLiteral("VORN");
}
