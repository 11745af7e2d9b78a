#include "PortChoice.h"

#include "platform/ComPortNames.h"

#include <QFileInfo>

#include <algorithm>

int ComPortNumberOfText(const QString &text, int previousNumber)
{
    const QStringList names = ComPortNames::names();
    const int index = names.indexOf(text);
    return index >= 0 ? ComPortNames::FirstPort + index : previousNumber;
}

namespace {

// Links (a COMn link, a /dev/serial/by-id name) and their targets are the
// same device.
QString canonical(const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    return target.isEmpty() ? path : target;
}

} // namespace

QList<PortHelpRow> PortHelpRows(const QStringList &comDevices,
                                const QList<QPair<QString, QString>> &present)
{
    QList<PortHelpRow> rows;
    QStringList reached;
    for (int i = 0; i < comDevices.size(); ++i) {
        const QString device = canonical(comDevices.at(i));
        QString description;
        bool exists = false;
        for (const auto &[path, text] : present) {
            if (canonical(path) == device) {
                exists = true;
                description = text;
            }
        }
        if (!exists && !QFileInfo::exists(comDevices.at(i)))
            continue;
        rows.append({ QStringLiteral("COM%1").arg(i + 1), device, description });
        reached << device;
    }
    for (const auto &[path, text] : present) {
        if (!reached.contains(canonical(path)))
            rows.append({ QString(), canonical(path), text });
    }
    return rows;
}

QString PortHelpText(const QList<PortHelpRow> &rows, const QString &portsFolder)
{
    QString text = QStringLiteral("Serial ports found:\n");
    if (rows.isEmpty())
        text += QStringLiteral("  (none - is the meter's cable plugged in?)\n");
    for (const PortHelpRow &row : rows) {
        const QString name = row.comName.isEmpty() ? QStringLiteral("(no COM name)") : row.comName;
        text += name + QStringLiteral(" \u2192 ") + row.device + QLatin1Char('\n');
        if (!row.description.isEmpty())
            text += QStringLiteral("    ") + row.description + QLatin1Char('\n');
    }
    text += QStringLiteral("\nCOM names open:\n"
                           "COM1-8 \u2192 /dev/ttyUSB0-7\n"
                           "COM9-12 \u2192 /dev/ttyACM0-3\n"
                           "COM13-16 \u2192 /dev/ttyS0-3\n"
                           "unless a link named COMn is in\n%1")
                .arg(portsFolder);
    return text;
}

QString WindowsPortHelpText(QList<QPair<QString, QString>> present)
{
    const auto number = [](const QString &name) {
        return name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? name.mid(3).toInt()
                                                                          : 0;
    };
    std::sort(present.begin(), present.end(), [&](const auto &a, const auto &b) {
        return number(a.first) != number(b.first) ? number(a.first) < number(b.first)
                                                  : a.first < b.first;
    });
    QString text = QStringLiteral("Serial ports found:\n");
    if (present.isEmpty())
        text += QStringLiteral("  (none - is the meter's cable plugged in?)\n");
    for (const auto &[name, description] : present) {
        const int n = number(name);
        text += name + QStringLiteral(" \u2192 ")
            + (description.isEmpty() ? QStringLiteral("(no description)") : description);
        if (n < ComPortNames::FirstPort || n > ComPortNames::LastPort)
            text += QStringLiteral(" (not opened here)");
        text += QLatin1Char('\n');
    }
    text += QStringLiteral("\nCOM1 to COM16 open here. A port with another number gets one in "
                           "Device Manager: Ports (COM & LPT), the port's Properties, Port "
                           "Settings, Advanced, COM Port Number.");
    return text;
}
