#include "ToolProcess.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{
constexpr int TimeLimitMs = 60000;
} // namespace

TToolRun RunTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted())
    {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return {};
    }
    if (!process.waitForFinished(TimeLimitMs))
    {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " did not end in time";
        return {};
    }
    TToolRun run;
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TToolRun Inspect(const QStringList& files)
{
    return RunTool(QStringLiteral(STICKFIGHT_INSPECT), files);
}

TJsonRun InspectJson(const QStringList& files)
{
    const TToolRun run = Inspect(QStringList{QStringLiteral("--json")} + files);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(run.Out.toUtf8(), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString() << "\n" << run.Out.toStdString();
    return {run.ExitCode, document.object()};
}

TToolRun Convert(const QStringList& arguments)
{
    return RunTool(QStringLiteral(STICKFIGHT_CONVERT), arguments);
}

QString Problems(const QJsonObject& report, const QString& severity)
{
    QStringList messages;
    for (const QJsonValue& problem : report[QStringLiteral("problems")].toArray())
        if (problem.toObject()[QStringLiteral("severity")].toString() == severity)
            messages.append(problem.toObject()[QStringLiteral("message")].toString());
    return messages.join(QLatin1Char('\n'));
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
