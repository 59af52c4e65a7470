#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

// One run of a command-line tool to its end; a run that outlives its time
// is killed, so no test leaves a process behind.
struct TToolRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TToolRun RunTool(const QString& program, const QStringList& arguments);

// The inspector run with --json: its document, and its exit status.
struct TJsonRun
{
    int ExitCode = -1;
    QJsonObject Document;
};
TJsonRun InspectJson(const QStringList& files);
TToolRun Inspect(const QStringList& files);
TToolRun Convert(const QStringList& arguments);

// The messages of a report's problems of one severity, joined by new lines.
QString Problems(const QJsonObject& report, const QString& severity);
