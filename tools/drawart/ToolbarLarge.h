#pragma once

#include <QImage>

// The toolbar pictures 1-14 drawn as vector shapes for high-density screens: the same motifs,
// colours and ground as the hand-set 16-pixel maps, drawn on a 32-unit grid and rendered at any
// size (32 pixels for a scale factor of 2, 24 for 1.5). Returns a null image for an unknown
// picture number.
QImage drawLargeToolbarIcon(int picture, int pixels);
