#pragma once

#include "Examination.h"

#include <QByteArray>

// The bones, frames, triangles and bone links our SMD reader takes from the
// text, and what it pads, refuses or binds oddly.
TInspection InspectSMD(const QByteArray& bytes, const QString& fileName);
