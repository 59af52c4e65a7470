#pragma once

#include "Examination.h"

#include <QByteArray>

// The chunk tree, materials and objects our 3DS reader makes of the bytes,
// and what it skips, cuts short or refuses.
TInspection Inspect3DS(const QByteArray& bytes, const QString& fileName);
