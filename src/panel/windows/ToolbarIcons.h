#pragma once

#include <QIcon>

// The panel tool bar's image list, drawn in one style: image 1 to 11 belong
// to the buttons in order, image 12 is "stop recording".
QIcon ToolbarImage(int imageNumber);

constexpr int StopRecordingImage = 12;
