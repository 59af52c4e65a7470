#include "Examination.h"

#include <cmath>

namespace
{
// Problems of one kind are counted in full but listed only this far.
constexpr qsizetype ListedNumbers = 8;

TCorner Minus(const TCorner& a, const TCorner& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

double SquaredLength(const std::array<double, 3>& v)
{
    return v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
}
} // namespace

TInspection::TInspection(const QString& fileName, const QString& format)
{
    FFacts.insert(QStringLiteral("file"), fileName);
    FFacts.insert(QStringLiteral("format"), format);
}

void TInspection::Warn(const QString& message)
{
    FProblems.append(QJsonObject{{QStringLiteral("severity"), QStringLiteral("warning")},
                                 {QStringLiteral("message"), message}});
    ++FWarnings;
}

void TInspection::Fail(const QString& message)
{
    FProblems.append(QJsonObject{{QStringLiteral("severity"), QStringLiteral("error")},
                                 {QStringLiteral("message"), message}});
    ++FErrors;
}

TInspection::TStatus TInspection::Status() const
{
    return FErrors > 0 ? isErrors : FWarnings > 0 ? isWarnings : isClean;
}

QJsonObject TInspection::ToJson() const
{
    QJsonObject json = FFacts;
    json.insert(QStringLiteral("problems"), FProblems);
    json.insert(QStringLiteral("status"), static_cast<int>(Status()));
    return json;
}

QString DegenerateReason(const std::array<int, 3>& indices, const std::array<TCorner, 3>& corners)
{
    if (indices[0] == indices[1] || indices[1] == indices[2] || indices[0] == indices[2])
        return QStringLiteral("repeats a corner");
    if (corners[0] == corners[1] || corners[1] == corners[2] || corners[0] == corners[2])
        return QStringLiteral("has two corners at one place");
    // In double so that the test itself adds no rounding to the floats read.
    const TCorner u = Minus(corners[1], corners[0]);
    const TCorner v = Minus(corners[2], corners[0]);
    const std::array<double, 3> cross{double(u[1]) * v[2] - double(u[2]) * v[1],
                                      double(u[2]) * v[0] - double(u[0]) * v[2],
                                      double(u[0]) * v[1] - double(u[1]) * v[0]};
    if (SquaredLength(cross) == 0)
        return QStringLiteral("has zero area");
    return {};
}

QString ListSome(const QList<int>& numbers)
{
    QStringList shown;
    for (qsizetype i = 0; i < numbers.size() && i < ListedNumbers; ++i)
        shown.append(QString::number(numbers[i]));
    QString text = shown.join(QStringLiteral(", "));
    if (numbers.size() > ListedNumbers)
        text += QStringLiteral(" and %1 more").arg(numbers.size() - ListedNumbers);
    return text;
}
