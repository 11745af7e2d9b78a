#pragma once

#include <QString>
#include <QStringList>

// The COM number a typed or picked port text names: exactly "COM1".."COM16"
// (case and spaces count). Any other text leaves the previous number.
int ComPortNumberOfText(const QString &text, int previousNumber);

// One row of the Port window's help: a COM name and the device it opens.
struct PortHelpRow
{
    QString comName;
    QString device; // the device itself, links followed
    QString description; // what the system says about the device, may be empty
};

// Rows for the COM names whose device exists, in COM order, followed by the
// serial devices present that no COM name reaches (comName empty).
// comDevices[i] is the device COM<i+1> opens; present lists the serial
// devices found as (path, description) pairs.
QList<PortHelpRow> PortHelpRows(const QStringList &comDevices,
                                const QList<QPair<QString, QString>> &present);

// The help text shown in the Port window: how COM names map to devices, and
// the rows above.
QString PortHelpText(const QList<PortHelpRow> &rows, const QString &portsFolder);
// The same on Windows, where COM names are the system's own: the ports the
// system lists (name, device description) in COM order, as Device Manager
// shows them, and how to give one a number the program opens.
QString WindowsPortHelpText(QList<QPair<QString, QString>> present);
