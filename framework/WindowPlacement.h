#pragma once
// Windows beyond the specified ones open inside the screen's available area,
// where and as large as the user left them, and never larger than the area.

#include <QMargins>
#include <QRect>
#include <QString>

class QWidget;

// From the first show on: restores the place and size stored under key,
// fits the window into the available area of its screen, and stores them
// again whenever it is hidden.
void KeepWindowPlacement(QWidget* window, const QString& key);

// The client rectangle moved and shrunk so that, with the frame's margins,
// it lies inside area; a window without a place of its own yet (bPlaced
// false) is centred over anchor first.
QRect FitIntoArea(QRect client, const QMargins& frame, const QRect& area, const QRect& anchor,
                  bool bPlaced);
