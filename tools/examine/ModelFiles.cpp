#include "ModelFiles.h"

#include "Examine3DS.h"
#include "ExamineGLSM.h"
#include "ExamineMD2.h"
#include "ExamineSMD.h"
#include "VectorFile.h"

#include <QFile>

namespace
{
// Model files are read whole; nothing a game loads comes near this.
constexpr qint64 MaxFileSize = qint64(512) << 20;
} // namespace

TInspection InspectFile(const QString& fileName)
{
    const QString extension = ExtractFileExtension(fileName).toLower();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
    {
        TInspection inspection(fileName, extension);
        inspection.Fail(QStringLiteral("%1: cannot be opened: %2").arg(fileName, file.errorString()));
        return inspection;
    }
    if (file.size() > MaxFileSize)
    {
        TInspection inspection(fileName, extension);
        inspection.Fail(QStringLiteral("%1: %2 bytes, more than the %3 the inspector reads")
                            .arg(fileName)
                            .arg(file.size())
                            .arg(MaxFileSize));
        return inspection;
    }
    const QByteArray bytes = file.readAll();
    if (extension == QLatin1String("3ds") || extension == QLatin1String("prj"))
        return Inspect3DS(bytes, fileName);
    if (extension == QLatin1String("smd"))
        return InspectSMD(bytes, fileName);
    if (extension == QLatin1String("md2"))
        return InspectMD2(bytes, fileName);
    if (extension == QLatin1String("glsm"))
        return InspectGLSM(bytes, fileName);
    TInspection inspection(fileName, extension);
    inspection.Fail(QStringLiteral("%1: no model format has the extension \"%2\"; the inspector reads .3ds, .prj, "
                                   ".smd, .md2 and .glsm files")
                        .arg(fileName, extension));
    return inspection;
}
