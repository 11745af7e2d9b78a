#include "ProgramFont.h"

#include <QApplication>
#include <QFont>

void useProgramFont()
{
#ifdef Q_OS_WIN
    // Windows' own families come first; where they are missing (Wine maps
    // them to a mathematical font) Liberation Sans and DejaVu Sans take over.
    QFont font = QApplication::font();
    font.setFamilies({ QStringLiteral("Segoe UI"), QStringLiteral("Liberation Sans"),
                       QStringLiteral("DejaVu Sans") });
    QApplication::setFont(font);
#endif
}
