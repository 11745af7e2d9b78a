#pragma once

class QPrinter;
class QWidget;
class QCustomPlot;

// Prints the image of a window, scaled to fit the page, once per copy. The
// graph inside is drawn as vectors so that its texts stay sharp (and can be
// found in a PDF). Returns false when the printer could not be started.
bool printWindowImage(QWidget *window, QCustomPlot *graph, QPrinter &printer, int copies);

// The printer the program prints on: its settings are the ones last chosen
// in a printer dialog, and a direct print goes to it without asking.
QPrinter &currentPrinter();

// The six-line note shown before a graph is printed with a chosen printer.
void showPrinterNote(QWidget *parent);
