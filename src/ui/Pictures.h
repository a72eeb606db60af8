#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures compiled into the program, in the drawing that suits the screen's density.

// The start-up picture (420 x 334 at 1x): the 2x drawing on a screen with more than one device
// pixel to a logical pixel.
QPixmap startupPicture(qreal devicePixelRatio);

// Toolbar picture 1-14: the 16-pixel map, and the 24- and 32-pixel drawings that Qt picks at
// scale factors of 1.5 and 2.
QIcon toolbarPicture(int number);
