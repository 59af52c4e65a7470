#pragma once

#include "Examination.h"

#include <QString>

// One file inspected by the format its extension names; a file that cannot
// be read, or of no format the inspector knows, is an error of its own.
TInspection InspectFile(const QString& fileName);
