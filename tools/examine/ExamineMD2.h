#pragma once

#include "Examination.h"

#include <QByteArray>

// The frames, vertices, triangles and skins our md2 reader decodes.
TInspection InspectMD2(const QByteArray& bytes, const QString& fileName);
