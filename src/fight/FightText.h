#pragma once

#include <QChar>
#include <QString>

#include <array>

// Numbers in the fight's screen texts, appended without allocating once a
// text has grown to its usual length.

// General format, 15 significant digits, no trailing zeros: fixed notation
// for magnitudes from 1E-5 up to 15 digits before the point ("1", and a
// single -0.3 as "-0.300000011920929"), scientific otherwise ("1.5E-6", "2E20").
void AppendGeneral(QString& text, double value, QChar decimalPoint);

// Fixed notation with one decimal ("59.9").
void AppendFixed1(QString& text, double value, QChar decimalPoint);

// A text rebuilt on every tick and handed to an object that keeps a shared
// copy of it. The two buffers take turns, so the one being written is no
// longer shared and keeps its capacity.
class TAlternatingText
{
public:
    // The next buffer, emptied.
    QString& Begin();

private:
    std::array<QString, 2> FBuffers;
    int FCurrent = 0;
};
