#pragma once

#include "analysis/report/Report.h"

#include <QByteArray>
#include <QString>

// The report drawn as an A4 PDF: text, tables and vector graphs, fonts
// embedded. Needs a QApplication (the graphs are drawn by plot widgets that
// are never shown); runs on the thread that owns it.
struct ReportPdf
{
    QByteArray bytes;
    bool cancelled = false;
    QString error;
};

ReportPdf drawReportPdf(const Report &report, const ReportProgress &progress = {});

// Writes the PDF so that it appears only when complete. Empty on success,
// else the message to show.
QString saveReportPdf(const QString &path, const QByteArray &bytes);
