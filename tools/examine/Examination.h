#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <array>

// What the inspector found in one file: the facts our reader sees, as one
// JSON object that both the text and the JSON output are made from, and the
// problems, each a warning (the reader goes on) or an error (it refuses).
class TInspection
{
public:
    enum TStatus { isClean = 0, isWarnings = 1, isErrors = 2 };

    TInspection(const QString& fileName, const QString& format);

    QJsonObject& Facts() { return FFacts; }
    const QJsonObject& Facts() const { return FFacts; }
    void Warn(const QString& message);
    void Fail(const QString& message);

    TStatus Status() const;
    // The facts with "problems" and "status" added.
    QJsonObject ToJson() const;

private:
    QJsonObject FFacts;
    QJsonArray FProblems;
    int FWarnings = 0;
    int FErrors = 0;
};

// Why a triangle draws nothing, or nothing at all: the corners it repeats, or
// a zero area; empty for a sound triangle.
using TCorner = std::array<float, 3>;
QString DegenerateReason(const std::array<int, 3>& indices, const std::array<TCorner, 3>& corners);

// "1, 2, 3" for the first few of many numbers, "and n more" for the rest.
QString ListSome(const QList<int>& numbers);
