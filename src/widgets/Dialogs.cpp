#include "Dialogs.h"

#include "RememberedFolders.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>

namespace {

QString titleOrProgramName(const QString &title)
{
    return title.isEmpty() ? programName() : title;
}

class QtDialogProvider : public DialogProvider
{
public:
    MessageAnswer message(QWidget *parent, const QString &text, const QString &title,
                          MessageIcon icon, MessageButtons buttons) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(titleOrProgramName(title));
        // Texts keep the carriage returns the program's messages are made
        // with; on screen each one breaks the line.
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        box.setText(shown);
        box.setIcon(qtIcon(icon));
        switch (buttons) {
        case MessageButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case MessageButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MessageButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
        }
        switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        }
    }

    MessageAnswer messageWithChoice(QWidget *parent, const QString &text, const QString &reason,
                                    const QString &choiceCaption, MessageIcon icon) override
    {
        QMessageBox box(parent);
        box.setWindowTitle(programName());
        box.setText(text);
        box.setInformativeText(reason);
        box.setIcon(qtIcon(icon));
        box.setStandardButtons(QMessageBox::Ok);
        QPushButton *choice = box.addButton(choiceCaption, QMessageBox::ActionRole);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        box.exec();
        return box.clickedButton() == choice ? MessageAnswer::Yes : MessageAnswer::Ok;
    }

    std::optional<int> chooseItem(QWidget *parent, const QString &prompt, const QString &title,
                                  const QStringList &items) override
    {
        bool ok = false;
        const QString chosen = QInputDialog::getItem(parent, titleOrProgramName(title), prompt,
                                                     items, 0, false, &ok);
        if (!ok)
            return std::nullopt;
        return int(items.indexOf(chosen));
    }

    std::optional<QString> input(QWidget *parent, const QString &prompt, const QString &title,
                                 const QString &defaultText) override
    {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, titleOrProgramName(title), prompt,
                                                   QLineEdit::Normal, defaultText, &ok);
        if (!ok)
            return std::nullopt;
        return text;
    }

    QString openFileName(QWidget *parent, const QString &pipeFilter) override
    {
        using RememberedFolders::Kind;
        const QString path = QFileDialog::getOpenFileName(
            parent, programName(), RememberedFolders::folder(Kind::DataOpened),
            qtFilterFromPipeFilter(pipeFilter));
        RememberedFolders::remember(Kind::DataOpened, path);
        return path;
    }

    QStringList openFileNames(QWidget *parent, const QString &pipeFilter) override
    {
        using RememberedFolders::Kind;
        const QStringList paths = QFileDialog::getOpenFileNames(
            parent, programName(), RememberedFolders::folder(Kind::DataOpened),
            qtFilterFromPipeFilter(pipeFilter));
        if (!paths.isEmpty())
            RememberedFolders::remember(Kind::DataOpened, paths.constFirst());
        return paths;
    }

    // A name typed without extension is returned as typed: no suffix is
    // added, so the overwrite question is asked about the file really written.
    QString saveFileName(QWidget *parent, const QString &pipeFilter, bool askOverwrite) override
    {
        QFileDialog::Options options;
        if (!askOverwrite)
            options |= QFileDialog::DontConfirmOverwrite;
        using RememberedFolders::Kind;
        const QString path = QFileDialog::getSaveFileName(
            parent, programName(), RememberedFolders::folder(Kind::DataSaved),
            qtFilterFromPipeFilter(pipeFilter), nullptr, options);
        RememberedFolders::remember(Kind::DataSaved, path);
        return path;
    }

    bool setUpPrinter(QWidget *parent, QPrinter &printer, bool allowCopies) override
    {
        // Whoever printed to a PDF file last time finds the dialog set to
        // print to a file in that folder again.
        using RememberedFolders::Kind;
        if (printer.outputFileName().isEmpty()
            && !RememberedFolders::folder(Kind::Reports).isEmpty())
            printer.setOutputFileName(RememberedFolders::lastFile(Kind::Reports));
        QPrintDialog dialog(&printer, parent);
        dialog.setWindowTitle(programName());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (printer.outputFormat() == QPrinter::PdfFormat)
            RememberedFolders::remember(Kind::Reports, printer.outputFileName());
        // Qt's dialog cannot hide its copies box; a caller that prints one
        // copy gets one copy whatever was typed there.
        if (!allowCopies)
            printer.setCopyCount(1);
        return true;
    }

private:
    static QMessageBox::Icon qtIcon(MessageIcon icon)
    {
        switch (icon) {
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
        }
        return QMessageBox::NoIcon;
    }
};

QtDialogProvider &qtProvider()
{
    static QtDialogProvider provider;
    return provider;
}

DialogProvider *installedProvider = nullptr;

// "*.*" means every file; Qt's "*.*" would leave out names without a dot.
QString qtPattern(const QString &pattern)
{
    const QString trimmed = pattern.trimmed();
    return trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed;
}

} // namespace

MessageAnswer DialogProvider::messageWithChoice(QWidget *parent, const QString &text,
                                                const QString &reason, const QString &,
                                                MessageIcon icon)
{
    message(parent, reason.isEmpty() ? text : text + QStringLiteral("\n\n") + reason, QString(),
            icon, MessageButtons::Ok);
    return MessageAnswer::Ok;
}

std::optional<int> DialogProvider::chooseItem(QWidget *, const QString &, const QString &,
                                              const QStringList &items)
{
    return items.isEmpty() ? std::nullopt : std::optional<int>(0);
}

QStringList DialogProvider::openFileNames(QWidget *parent, const QString &pipeFilter)
{
    const QString path = openFileName(parent, pipeFilter);
    return path.isEmpty() ? QStringList() : QStringList { path };
}

DialogProvider &dialogs()
{
    return installedProvider ? *installedProvider : qtProvider();
}

void setDialogProvider(DialogProvider *provider)
{
    installedProvider = provider;
}

QString qtFilterFromPipeFilter(const QString &pipeFilter)
{
    const QStringList fields = pipeFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < fields.size(); i += 2) {
        QString description = fields.at(i).trimmed();
        const QString patternField = i + 1 < fields.size() ? fields.at(i + 1) : QString();
        if (description.isEmpty() && patternField.trimmed().isEmpty())
            continue;
        QStringList patterns;
        for (const QString &pattern : patternField.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString converted = qtPattern(pattern);
            if (!converted.isEmpty() && !patterns.contains(converted))
                patterns << converted;
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        // Qt reads the patterns from the parentheses of the description, so
        // the ones shown there are replaced by the converted list.
        static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
        description.remove(shownPatterns);
        if (description.isEmpty())
            description = patterns.join(QLatin1Char(' '));
        filters << QStringLiteral("%1 (%2)").arg(description, patterns.join(QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}
