// stickfight-convert: model files from one of the game's formats to another.
#include "ModelConversion.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace
{
void PrintUsage(std::FILE* to)
{
    const QByteArray text = QStringLiteral("usage: stickfight-convert IN OUT [--skeleton MODEL.smd]\n"
                                           "Formats are chosen by extension. Conversions: %1.\n")
                                .arg(SupportedConversions())
                                .toUtf8();
    std::fputs(text.constData(), to);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.contains(QStringLiteral("--help")))
    {
        PrintUsage(stdout);
        return 0;
    }
    QString skeleton;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--skeleton")); at >= 0)
    {
        if (at + 1 >= arguments.size())
        {
            PrintUsage(stderr);
            return 2;
        }
        skeleton = arguments[at + 1];
        arguments.remove(at, 2);
    }
    if (arguments.size() != 2)
    {
        PrintUsage(stderr);
        return 2;
    }
    try
    {
        ConvertModel(arguments[0], arguments[1], skeleton);
    }
    catch (const Exception& e)
    {
        std::fprintf(stderr, "stickfight-convert: %s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
