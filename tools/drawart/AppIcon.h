#pragma once

#include <QImage>
#include <QString>
#include <vector>

// The pixel sizes the application icon is drawn at (the hicolor theme's sizes from 16 to 256).
const std::vector<int>& appIconSizes();

// The application icon drawn for one size, on a transparent ground.
QImage renderAppIcon(int size);

// Writes yotenna-<size>.png for every size into the folder, as RGBA PNG.
bool saveAppIcons(const QString& folder);

// Every size side by side on a light and a dark ground, the small ones magnified too.
QImage appIconSheet();
