#pragma once

#include "Examination.h"

#include <QByteArray>

// The mesh objects our native-format reader rebuilds: their classes, vertices,
// face groups, morph targets and bone weights.
TInspection InspectGLSM(const QByteArray& bytes, const QString& fileName);
