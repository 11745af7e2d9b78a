#pragma once

#include <QIcon>

// The program's tool-bar images, drawn in one style. Images 1 to 11 belong
// to the live panel's buttons in order, image 12 is "stop recording"; the
// list windows use the plot, histogram, print, save and report images.
QIcon ToolbarImage(int imageNumber);

constexpr int StopRecordingImage = 12;
constexpr int PlotImage = 13;
constexpr int HistogramImage = 14;
constexpr int PrintImage = 15;
constexpr int SaveFileImage = 16;
constexpr int ReportImage = 17;
constexpr int CalibrationImage = 18;
constexpr int DetailsImage = 19;
