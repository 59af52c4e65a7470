#pragma once

#include <QJsonObject>
#include <QString>

// One file's inspection as lines for a person to read; the same facts as its
// JSON form.
QString ReportText(const QJsonObject& report);
