#include "ProgramFont.h"

#include <QApplication>
#include <QFont>

void useProgramFont()
{
#ifdef Q_OS_WIN
    // Windows' own family comes first; where it is missing (Wine maps the
    // dialog fonts to a mathematical one) DejaVu Sans takes over. Liberation
    // Sans comes last: under Wine its capital I vanished at dialog sizes.
    QFont font = QApplication::font();
    font.setFamilies({ QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                       QStringLiteral("Liberation Sans") });
    QApplication::setFont(font);
#endif
}
