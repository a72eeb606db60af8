#pragma once
// A one-second timer whose ticks fall just after each whole second.

class QTimer;

// Starts the timer again so that its next tick comes just after the next whole second, where
// it has drifted; called at each tick. An alarm then rings at the start of its minute rather
// than anywhere in its first second.
void keepOnTheSecond(QTimer* timer);
