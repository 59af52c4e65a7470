#include "ReportText.h"

#include <QHash>
#include <QJsonArray>

namespace
{
QString Quoted(const QJsonValue& value)
{
    return QLatin1Char('"') + value.toString() + QLatin1Char('"');
}

QString Numbers(const QJsonArray& values)
{
    QStringList list;
    for (const QJsonValue& value : values)
        list.append(QString::number(value.toInt()));
    return list.join(QStringLiteral(", "));
}

QString Plural(const int count, const char* one, const char* many = nullptr)
{
    const QString word = QLatin1String(count == 1 ? one : many ? many : one);
    return QStringLiteral("%1 %2").arg(count).arg(count == 1 || many ? word : word + QLatin1Char('s'));
}

QString ChunkLine(const QJsonObject& chunk)
{
    QString line = QStringLiteral("    ") + QString(2 * chunk[QStringLiteral("depth")].toInt(), QLatin1Char(' ')) +
                   chunk[QStringLiteral("tag")].toString();
    const QString name = chunk[QStringLiteral("name")].toString();
    if (!name.isEmpty())
        line += QLatin1Char(' ') + name;
    if (chunk.contains(QStringLiteral("label")))
        line += QLatin1Char(' ') + Quoted(chunk[QStringLiteral("label")]);
    if (chunk[QStringLiteral("unknown")].toBool())
        line += QStringLiteral(" (unknown)");
    return line + QStringLiteral("  at %1, %2 bytes")
                      .arg(chunk[QStringLiteral("offset")].toInteger())
                      .arg(chunk[QStringLiteral("length")].toInteger());
}

QString MaterialLine(const QJsonObject& material)
{
    QString line = QStringLiteral("    ") + Quoted(material[QStringLiteral("name")]);
    if (material.contains(QStringLiteral("texture")))
        line += QStringLiteral(" texture ") + Quoted(material[QStringLiteral("texture")]);
    return line;
}

QString ObjectLine3DS(const QJsonObject& object)
{
    QString line = QStringLiteral("    %1: %2, %3, %4")
                       .arg(Quoted(object[QStringLiteral("name")]),
                            Plural(object[QStringLiteral("vertices")].toInt(), "vertex", "vertices"),
                            Plural(object[QStringLiteral("faces")].toInt(), "face"),
                            Plural(object[QStringLiteral("textureVertices")].toInt(), "texture vertex", "texture vertices"));
    const QJsonArray smoothing = object[QStringLiteral("smoothingGroups")].toArray();
    if (!smoothing.isEmpty())
        line += QStringLiteral("; smoothing groups ") + Numbers(smoothing);
    QStringList groups;
    for (const QJsonValue& group : object[QStringLiteral("materialGroups")].toArray())
        groups.append(Quoted(group.toObject()[QStringLiteral("material")]) + QLatin1Char(' ') +
                      Plural(group.toObject()[QStringLiteral("faces")].toInt(), "face"));
    if (!groups.isEmpty())
        line += QStringLiteral("; material groups ") + groups.join(QStringLiteral(", "));
    if (object.contains(QStringLiteral("skipped")))
        line += QStringLiteral(" (skipped: %1)").arg(object[QStringLiteral("skipped")].toString());
    return line;
}

void Text3DS(const QJsonObject& report, QStringList& out)
{
    out.append(QStringLiteral("  %1 bytes").arg(report[QStringLiteral("bytes")].toInteger()));
    const QJsonArray chunks = report[QStringLiteral("chunks")].toArray();
    out.append(QStringLiteral("  chunks: %1").arg(chunks.size()));
    for (const QJsonValue& chunk : chunks)
        out.append(ChunkLine(chunk.toObject()));
    const QJsonArray materials = report[QStringLiteral("materials")].toArray();
    out.append(QStringLiteral("  materials: %1").arg(materials.size()));
    for (const QJsonValue& material : materials)
        out.append(MaterialLine(material.toObject()));
    const QJsonArray objects = report[QStringLiteral("objects")].toArray();
    out.append(QStringLiteral("  objects: %1").arg(objects.size()));
    for (const QJsonValue& object : objects)
        out.append(ObjectLine3DS(object.toObject()));
}

// Parents come before their children, so each bone's depth is known when
// it is met.
void BoneTree(const QJsonArray& bones, QStringList& out)
{
    QHash<int, int> depth;
    for (const QJsonValue& value : bones)
    {
        const QJsonObject bone = value.toObject();
        const int parent = bone[QStringLiteral("parent")].toInt();
        const int level = parent < 0 ? 0 : depth.value(parent) + 1;
        depth.insert(bone[QStringLiteral("id")].toInt(), level);
        out.append(QStringLiteral("    ") + QString(2 * level, QLatin1Char(' ')) +
                   QStringLiteral("%1 %2").arg(bone[QStringLiteral("id")].toInt()).arg(Quoted(bone[QStringLiteral("name")])));
    }
}

void TextSMD(const QJsonObject& report, QStringList& out)
{
    out.append(QStringLiteral("  kind: ") + report[QStringLiteral("kind")].toString());
    const QJsonArray bones = report[QStringLiteral("bones")].toArray();
    out.append(QStringLiteral("  bones: %1").arg(bones.size()));
    BoneTree(bones, out);
    const QJsonObject frames = report[QStringLiteral("frames")].toObject();
    QString line = QStringLiteral("  frames: %1").arg(frames[QStringLiteral("count")].toInt());
    if (frames.contains(QStringLiteral("firstTime")))
        line += QStringLiteral(", times %1 to %2")
                    .arg(frames[QStringLiteral("firstTime")].toString(), frames[QStringLiteral("lastTime")].toString());
    out.append(line);
    out.append(QStringLiteral("  triangles: %1").arg(report[QStringLiteral("triangles")].toInt()));
    for (const QJsonValue& value : report[QStringLiteral("materials")].toArray())
        out.append(QStringLiteral("    %1: %2")
                       .arg(Quoted(value.toObject()[QStringLiteral("material")]))
                       .arg(value.toObject()[QStringLiteral("triangles")].toInt()));
    const QJsonObject weights = report[QStringLiteral("weights")].toObject();
    out.append(QStringLiteral("  bone links: %1 of %2 vertex lines list weights; most bones on one vertex: %3")
                   .arg(weights[QStringLiteral("weightedVertexLines")].toInt())
                   .arg(weights[QStringLiteral("vertexLines")].toInt())
                   .arg(weights[QStringLiteral("maxInfluences")].toInt()));
}

void TextMD2(const QJsonObject& report, QStringList& out)
{
    const QJsonObject frames = report[QStringLiteral("frames")].toObject();
    out.append(QStringLiteral("  frames: %1, %2 to %3")
                   .arg(frames[QStringLiteral("count")].toInt())
                   .arg(Quoted(frames[QStringLiteral("first")]), Quoted(frames[QStringLiteral("last")])));
    out.append(QStringLiteral("  vertices: %1").arg(report[QStringLiteral("vertices")].toInt()));
    out.append(QStringLiteral("  triangles: %1").arg(report[QStringLiteral("triangles")].toInt()));
    out.append(QStringLiteral("  texture coordinates: %1").arg(report[QStringLiteral("textureCoordinates")].toInt()));
    QStringList skins;
    for (const QJsonValue& skin : report[QStringLiteral("skins")].toArray())
        skins.append(Quoted(skin));
    out.append(QStringLiteral("  skins: ") + (skins.isEmpty() ? QStringLiteral("none") : skins.join(QStringLiteral(", "))));
}

void TextGLSM(const QJsonObject& report, QStringList& out)
{
    const QJsonArray objects = report[QStringLiteral("objects")].toArray();
    out.append(QStringLiteral("  objects: %1").arg(objects.size()));
    for (const QJsonValue& value : objects)
    {
        const QJsonObject object = value.toObject();
        QString line = QStringLiteral("    %1 (%2): %3 vertices, %4 triangles")
                           .arg(Quoted(object[QStringLiteral("name")]), object[QStringLiteral("class")].toString())
                           .arg(object[QStringLiteral("vertices")].toInt())
                           .arg(object[QStringLiteral("triangles")].toInt());
        if (object.contains(QStringLiteral("frames")))
            line += QStringLiteral(", %1 frames").arg(object[QStringLiteral("frames")].toInt());
        if (object.contains(QStringLiteral("boneSlots")))
            line += QStringLiteral(", %1 weighted vertices of %2 bone slots")
                        .arg(object[QStringLiteral("weightedVertices")].toInt())
                        .arg(object[QStringLiteral("boneSlots")].toInt());
        out.append(line);
        for (const QJsonValue& group : object[QStringLiteral("faceGroups")].toArray())
            out.append(QStringLiteral("      %1: %2 triangles")
                           .arg(Quoted(group.toObject()[QStringLiteral("material")]))
                           .arg(group.toObject()[QStringLiteral("triangles")].toInt()));
    }
}

void TextProblems(const QJsonObject& report, QStringList& out)
{
    int warnings = 0, errors = 0;
    for (const QJsonValue& value : report[QStringLiteral("problems")].toArray())
    {
        const QJsonObject problem = value.toObject();
        const QString severity = problem[QStringLiteral("severity")].toString();
        (severity == QLatin1String("error") ? errors : warnings) += 1;
        out.append(QStringLiteral("  %1: %2").arg(severity, problem[QStringLiteral("message")].toString()));
    }
    out.append(warnings + errors == 0 ? QStringLiteral("  clean")
                                      : QStringLiteral("  %1, %2").arg(Plural(errors, "error"), Plural(warnings, "warning")));
}
} // namespace

QString ReportText(const QJsonObject& report)
{
    const QString format = report[QStringLiteral("format")].toString();
    QStringList out{QStringLiteral("%1 (%2)").arg(report[QStringLiteral("file")].toString(), format)};
    // A file the reader refuses outright has no facts to show.
    if (report.contains(QStringLiteral("chunks")) || report.contains(QStringLiteral("kind")) ||
        report.contains(QStringLiteral("frames")) || report.contains(QStringLiteral("objects")))
    {
        if (format == QLatin1String("3ds"))
            Text3DS(report, out);
        else if (format == QLatin1String("smd"))
            TextSMD(report, out);
        else if (format == QLatin1String("md2"))
            TextMD2(report, out);
        else if (format == QLatin1String("glsm"))
            TextGLSM(report, out);
    }
    TextProblems(report, out);
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
