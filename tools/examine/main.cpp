// stickfight-inspect: what the game's model readers make of model files.
#include "ModelFiles.h"
#include "ReportText.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QStringList>

#include <algorithm>
#include <cstdio>

namespace
{
const char* const Usage =
    "usage: stickfight-inspect [--json] FILE...\n"
    "Shows what the game's readers see in .3ds, .prj, .smd, .md2 and .glsm files, and the problems found.\n"
    "Exit status: 0 every file clean, 1 warnings only, 2 errors in any file.\n";

void Print(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList files = application.arguments().mid(1);
    const bool json = files.removeAll(QStringLiteral("--json")) > 0;
    if (files.isEmpty() || files.contains(QStringLiteral("--help")))
    {
        std::fputs(Usage, files.isEmpty() ? stderr : stdout);
        return files.isEmpty() ? 2 : 0;
    }
    int status = TInspection::isClean;
    QJsonArray reports;
    for (const QString& fileName : files)
    {
        const TInspection inspection = InspectFile(fileName);
        status = std::max<int>(status, inspection.Status());
        if (json)
            reports.append(inspection.ToJson());
        else
            Print(ReportText(inspection.ToJson()));
    }
    if (json)
        Print(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("files"), reports}, {QStringLiteral("status"), status}})
                .toJson(QJsonDocument::Indented)));
    return status;
}
