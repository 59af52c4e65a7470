#pragma once

#include <QString>

// Whether the windows can be shown: with the X platform (the default here),
// the X display must answer. Qt itself aborts the program when it cannot
// reach it, so the program asks first and ends with a message of its own.
// Empty when the display can be used, else the message for the player.
QString DisplayProblem();
