// The inspector run as model makers run it: its exit status, its JSON and its
// text on real files made by other tools, and on damaged files made here.
#include "File3DSBuilder.h"
#include "ToolProcess.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <assimp/cimport.h>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace build3ds;

namespace
{
const QString CorpusDir = QStringLiteral(STICKFIGHT_CORPUS_DIR);

#define SKIP_WITHOUT_CORPUS()                                                                                    \
    do                                                                                                           \
    {                                                                                                            \
        if (!QDir(CorpusDir).exists())                                                                           \
            GTEST_SKIP() << "The shared corpus is not beside the checkout: " << CorpusDir.toStdString();         \
    } while (false)

QString Write(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QJsonObject OnlyReport(const TJsonRun& run)
{
    const QJsonArray files = run.Document[QStringLiteral("files")].toArray();
    EXPECT_EQ(files.size(), 1);
    return files.isEmpty() ? QJsonObject() : files.first().toObject();
}

// What an SMD file holds, counted from its text alone.
struct TSmdTextCounts
{
    int Bones = 0;
    int Frames = 0;
    QString FirstTime, LastTime;
    std::map<QString, int> TrianglesPerMaterial;
    int Triangles = 0;
};

TSmdTextCounts CountSmdText(const QString& path)
{
    const QStringList lines = QString::fromUtf8(ReadAll(path)).split(QRegularExpression(QStringLiteral("\r?\n")));
    TSmdTextCounts counts;
    QString section;
    for (qsizetype i = 0; i < lines.size(); ++i)
    {
        const QString line = lines[i].trimmed();
        if (section.isEmpty() && (line == QLatin1String("nodes") || line == QLatin1String("skeleton") ||
                                  line == QLatin1String("triangles")))
            section = line;
        else if (line == QLatin1String("end"))
            section.clear();
        else if (section == QLatin1String("nodes") && !line.isEmpty())
            ++counts.Bones;
        else if (section == QLatin1String("skeleton") && line.startsWith(QLatin1String("time ")))
        {
            const QString time = line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
            if (counts.Frames++ == 0)
                counts.FirstTime = time;
            counts.LastTime = time;
        }
        else if (section == QLatin1String("triangles"))
        {
            ++counts.TrianglesPerMaterial[lines[i]];
            ++counts.Triangles;
            i += 3;
        }
    }
    return counts;
}

std::map<QString, int> MaterialCounts(const QJsonArray& materials)
{
    std::map<QString, int> counts;
    for (const QJsonValue& value : materials)
        counts[value.toObject()[QStringLiteral("material")].toString()] = value.toObject()[QStringLiteral("triangles")].toInt();
    return counts;
}

int32_t HeaderField(const QByteArray& bytes, int index)
{
    const QByteArray field = bytes.mid(4 * index, 4);
    return field.size() == 4 ? qFromLittleEndian<int32_t>(field.constData()) : -1;
}

const char* const TriangleSmd = "version 1\n"
                                "nodes\n"
                                "  0 \"root\" -1\n"
                                "%1"
                                "end\n"
                                "skeleton\n"
                                "time 0\n"
                                "  0 %2 0 0 0 0 0\n"
                                "%3"
                                "end\n"
                                "triangles\n"
                                "skin.bmp\n"
                                "0  0 0 0  0 0 1  0 0\n"
                                "0  1 0 0  0 0 1  1 0\n"
                                "%4"
                                "end\n";

// A one-triangle model; each argument replaces one part of it.
QByteArray SmdModel(const QString& moreNodes, const QString& rootX, const QString& moreBoneLines,
                    const QString& lastCorner)
{
    return QString::fromLatin1(TriangleSmd).arg(moreNodes, rootX, moreBoneLines, lastCorner).toUtf8();
}

QByteArray SoundSmd()
{
    return SmdModel({}, QStringLiteral("0"), {}, QStringLiteral("0  0 1 0  0 0 1  0 1\n"));
}
} // namespace

TEST(InspectTool, CleanSmdFilesExitZeroWithTheCountsOfTheirText)
{
    SKIP_WITHOUT_CORPUS();
    for (const QString& name : {QStringLiteral("smd/hl1-barney/barney_reference.smd"),
                                QStringLiteral("smd/assimp/WusonSMD.smd"),
                                QStringLiteral("smd/hl1-barney/animations/run.smd")})
    {
        SCOPED_TRACE(name.toStdString());
        const QString path = CorpusDir + QLatin1Char('/') + name;
        const TSmdTextCounts expected = CountSmdText(path);
        const TJsonRun run = InspectJson({path});
        EXPECT_EQ(run.ExitCode, 0);
        EXPECT_EQ(run.Document[QStringLiteral("status")].toInt(), 0);
        const QJsonObject report = OnlyReport(run);
        EXPECT_EQ(report[QStringLiteral("problems")].toArray().size(), 0) << Problems(report, "warning").toStdString();
        EXPECT_EQ(report[QStringLiteral("kind")].toString(),
                  expected.Triangles > 0 ? QStringLiteral("model") : QStringLiteral("animation"));
        EXPECT_EQ(report[QStringLiteral("bones")].toArray().size(), expected.Bones);
        const QJsonObject frames = report[QStringLiteral("frames")].toObject();
        EXPECT_EQ(frames[QStringLiteral("count")].toInt(), expected.Frames);
        EXPECT_EQ(frames[QStringLiteral("firstTime")].toString(), expected.FirstTime);
        EXPECT_EQ(frames[QStringLiteral("lastTime")].toString(), expected.LastTime);
        EXPECT_EQ(report[QStringLiteral("triangles")].toInt(), expected.Triangles);
        EXPECT_EQ(MaterialCounts(report[QStringLiteral("materials")].toArray()), expected.TrianglesPerMaterial);

        // The text shows the same facts.
        const TToolRun text = Inspect({path});
        EXPECT_EQ(text.ExitCode, 0);
        EXPECT_TRUE(text.Out.contains(QStringLiteral("  bones: %1\n").arg(expected.Bones))) << text.Out.toStdString();
        EXPECT_TRUE(text.Out.contains(QStringLiteral("  frames: %1, times %2 to %3\n")
                                          .arg(expected.Frames)
                                          .arg(expected.FirstTime, expected.LastTime)));
        EXPECT_TRUE(text.Out.contains(QStringLiteral("  triangles: %1\n").arg(expected.Triangles)));
        EXPECT_TRUE(text.Out.endsWith(QStringLiteral("  clean\n")));
    }
}

TEST(InspectTool, CleanSmdShowsTheBoneHierarchyOfItsNodes)
{
    SKIP_WITHOUT_CORPUS();
    const QString path = CorpusDir + QStringLiteral("/smd/hl1-barney/barney_reference.smd");
    const QJsonObject report = OnlyReport(InspectJson({path}));
    // From the file's nodes: bone 1 "Bip01 Pelvis" hangs from bone 0 "Bip01".
    const QJsonArray bones = report[QStringLiteral("bones")].toArray();
    ASSERT_GE(bones.size(), 2);
    EXPECT_EQ(bones[0].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Bip01"));
    EXPECT_EQ(bones[0].toObject()[QStringLiteral("parent")].toInt(), -1);
    EXPECT_EQ(bones[1].toObject()[QStringLiteral("name")].toString(), QStringLiteral("Bip01 Pelvis"));
    EXPECT_EQ(bones[1].toObject()[QStringLiteral("parent")].toInt(), 0);
    const TToolRun text = Inspect({path});
    EXPECT_TRUE(text.Out.contains(QStringLiteral("    0 \"Bip01\"\n      1 \"Bip01 Pelvis\"\n"))) << text.Out.toStdString();
}

TEST(InspectTool, Clean3dsFilesExitZeroWithAssimpsFaceCountsAndMaterials)
{
    SKIP_WITHOUT_CORPUS();
    for (const QString& name : {QStringLiteral("3ds/assimp/test1.3ds"), QStringLiteral("3ds/irrlicht/room.3ds"),
                                QStringLiteral("3ds/irrlicht/sphere.3ds")})
    {
        SCOPED_TRACE(name.toStdString());
        const QString path = CorpusDir + QLatin1Char('/') + name;
        const aiScene* const scene = aiImportFile(path.toUtf8().constData(), 0);
        ASSERT_NE(scene, nullptr) << aiGetErrorString();
        unsigned assimpFaces = 0;
        for (unsigned m = 0; m < scene->mNumMeshes; ++m)
            assimpFaces += scene->mMeshes[m]->mNumFaces;
        QStringList assimpMaterials;
        for (unsigned m = 0; m < scene->mNumMaterials; ++m)
        {
            aiString materialName;
            scene->mMaterials[m]->Get(AI_MATKEY_NAME, materialName);
            assimpMaterials.append(QString::fromUtf8(materialName.C_Str()));
        }
        aiReleaseImport(scene);

        const TJsonRun run = InspectJson({path});
        EXPECT_EQ(run.ExitCode, 0);
        const QJsonObject report = OnlyReport(run);
        EXPECT_EQ(report[QStringLiteral("problems")].toArray().size(), 0) << Problems(report, "warning").toStdString();
        unsigned faces = 0;
        for (const QJsonValue& object : report[QStringLiteral("objects")].toArray())
            faces += static_cast<unsigned>(object.toObject()[QStringLiteral("faces")].toInt());
        EXPECT_EQ(faces, assimpFaces);
        for (const QJsonValue& material : report[QStringLiteral("materials")].toArray())
            EXPECT_TRUE(assimpMaterials.contains(material.toObject()[QStringLiteral("name")].toString()))
                << material.toObject()[QStringLiteral("name")].toString().toStdString();
        const QJsonArray chunks = report[QStringLiteral("chunks")].toArray();
        ASSERT_FALSE(chunks.isEmpty());
        EXPECT_EQ(chunks[0].toObject()[QStringLiteral("tag")].toString(), QStringLiteral("0x4D4D"));
        EXPECT_EQ(chunks[0].toObject()[QStringLiteral("length")].toInteger(), QFile(path).size());
    }
}

TEST(InspectTool, CleanMd2FilesExitZeroWithTheCountsOfTheirHeader)
{
    SKIP_WITHOUT_CORPUS();
    for (const QString& name : {QStringLiteral("md2/assimp/faerie.md2"), QStringLiteral("md2/assimp/sydney.md2")})
    {
        SCOPED_TRACE(name.toStdString());
        const QString path = CorpusDir + QLatin1Char('/') + name;
        const QByteArray bytes = ReadAll(path);
        ASSERT_GE(bytes.size(), 68);
        // The header's fields: ..., vertices 6, texture coordinates 7, triangles 8, ..., frames 10.
        const TJsonRun run = InspectJson({path});
        EXPECT_EQ(run.ExitCode, 0);
        const QJsonObject report = OnlyReport(run);
        EXPECT_EQ(report[QStringLiteral("vertices")].toInt(), HeaderField(bytes, 6));
        EXPECT_EQ(report[QStringLiteral("textureCoordinates")].toInt(), HeaderField(bytes, 7));
        EXPECT_EQ(report[QStringLiteral("triangles")].toInt(), HeaderField(bytes, 8));
        EXPECT_EQ(report[QStringLiteral("frames")].toObject()[QStringLiteral("count")].toInt(), HeaderField(bytes, 10));
        // The first frame's name lies 24 bytes into the first frame.
        const QString firstFrame = QString::fromLatin1(bytes.constData() + HeaderField(bytes, 14) + 24);
        EXPECT_EQ(report[QStringLiteral("frames")].toObject()[QStringLiteral("first")].toString(), firstFrame);
    }
}

TEST(InspectTool, NativeFilesShowTheirObjectsAndFramesAndCutOnesAreErrors)
{
    const QTemporaryDir dir;
    const QString stick = QStringLiteral(STICKFIGHT_GAME_DIR) + QStringLiteral("/Combo/Stick.smd");
    const QString native = dir.filePath(QStringLiteral("stick.glsm"));
    ASSERT_EQ(Convert({stick, native}).ExitCode, 0);
    const TSmdTextCounts expected = CountSmdText(stick);
    const TJsonRun run = InspectJson({native});
    EXPECT_EQ(run.ExitCode, 0) << Problems(OnlyReport(run), "warning").toStdString();
    const QJsonArray objects = OnlyReport(run)[QStringLiteral("objects")].toArray();
    ASSERT_EQ(objects.size(), 1);
    const QJsonObject body = objects[0].toObject();
    EXPECT_EQ(body[QStringLiteral("class")].toString(), QStringLiteral("skinned"));
    EXPECT_EQ(body[QStringLiteral("triangles")].toInt(), expected.Triangles);
    std::map<QString, int> groups;
    for (const QJsonValue& group : body[QStringLiteral("faceGroups")].toArray())
        groups[group.toObject()[QStringLiteral("material")].toString()] += group.toObject()[QStringLiteral("triangles")].toInt();
    EXPECT_EQ(groups, expected.TrianglesPerMaterial);

    if (QDir(CorpusDir).exists())
    {
        const QString md2 = CorpusDir + QStringLiteral("/md2/assimp/faerie.md2");
        const QString morphs = dir.filePath(QStringLiteral("faerie.glsm"));
        ASSERT_EQ(Convert({md2, morphs}).ExitCode, 0);
        const QByteArray header = ReadAll(md2);
        const QJsonObject faerie = OnlyReport(InspectJson({morphs}))[QStringLiteral("objects")].toArray()[0].toObject();
        EXPECT_EQ(faerie[QStringLiteral("class")].toString(), QStringLiteral("morphable"));
        EXPECT_EQ(faerie[QStringLiteral("frames")].toInt(), HeaderField(header, 10));
        EXPECT_EQ(faerie[QStringLiteral("triangles")].toInt(), HeaderField(header, 8));
    }

    // Cut short: the reader's error, with the offset where the bytes ran out.
    const QByteArray bytes = ReadAll(native);
    const TJsonRun cut = InspectJson({Write(dir, "cut.glsm", bytes.left(bytes.size() / 2))});
    EXPECT_EQ(cut.ExitCode, 2);
    EXPECT_TRUE(Problems(OnlyReport(cut), "error").contains(QStringLiteral("cut.glsm: offset ")))
        << Problems(OnlyReport(cut), "error").toStdString();
}

TEST(InspectTool, Damaged3dsFilesNameTheChunkAndOffset)
{
    const QTemporaryDir dir;
    const QByteArray vertices = Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}});
    const QByteArray faces = Faces({{0, 1, 2, 0}});
    const QByteArray sound = Model({Object("Box", {TriMesh({vertices, faces})})});

    // Cut inside the faces: the reader refuses the file, and the cut chunk is named.
    const qsizetype facesAt = sound.indexOf(faces);
    const TJsonRun truncated = InspectJson({Write(dir, "cut.3ds", sound.left(facesAt + 10))});
    EXPECT_EQ(truncated.ExitCode, 2);
    const QString truncatedErrors = Problems(OnlyReport(truncated), "error");
    EXPECT_TRUE(truncatedErrors.contains(QStringLiteral("truncated"))) << truncatedErrors.toStdString();
    EXPECT_TRUE(truncatedErrors.contains(QStringLiteral("the file ends inside chunk 0x4120 (faces) at offset %1").arg(facesAt)))
        << truncatedErrors.toStdString();

    // An unknown chunk is skipped: a warning naming it.
    const QByteArray unknown = Chunk(0x4F01, QByteArray("abcd"));
    const QByteArray withUnknown = Model({unknown, Object("Box", {TriMesh({vertices, faces})})});
    const TJsonRun skipped = InspectJson({Write(dir, "unknown.3ds", withUnknown)});
    EXPECT_EQ(skipped.ExitCode, 1);
    EXPECT_TRUE(Problems(OnlyReport(skipped), "warning")
                    .contains(QStringLiteral("unknown chunk 0x4F01 at offset %1 (10 bytes)").arg(withUnknown.indexOf(unknown))))
        << Problems(OnlyReport(skipped), "warning").toStdString();

    // A chunk longer than what is left of its parent: the reader stops there.
    const QByteArray overrun = ChunkWithLength(0x4140, 500, U16(0));
    const QByteArray withOverrun = Model({Object("Box", {TriMesh({vertices, faces, overrun})})});
    const TJsonRun cut = InspectJson({Write(dir, "overrun.3ds", withOverrun)});
    EXPECT_EQ(cut.ExitCode, 1);
    EXPECT_TRUE(Problems(OnlyReport(cut), "warning")
                    .contains(QStringLiteral("chunk 0x4140 (texture vertices) at offset %1 claims 500 bytes but only 8 are left")
                                  .arg(withOverrun.indexOf(overrun))))
        << Problems(OnlyReport(cut), "warning").toStdString();

    // A count past its chunk's data: the reader's own error, with its offset.
    const QByteArray lyingVertices = Chunk(0x4110, U16(100) + F32(0) + F32(0) + F32(0));
    const QByteArray withLie = Model({Object("Box", {TriMesh({lyingVertices})})});
    const TJsonRun lie = InspectJson({Write(dir, "count.3ds", withLie)});
    EXPECT_EQ(lie.ExitCode, 2);
    EXPECT_TRUE(Problems(OnlyReport(lie), "error")
                    .contains(QStringLiteral("chunk 0x4110 at offset %1").arg(withLie.indexOf(lyingVertices))))
        << Problems(OnlyReport(lie), "error").toStdString();
}

TEST(InspectTool, Degenerate3dsFacesAreWarnings)
{
    const QTemporaryDir dir;
    const QByteArray vertices = Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}});
    // Face 1 repeats a corner, face 2 lies on a line, face 0 is sound.
    const QByteArray file = Model({Object("Box", {TriMesh({vertices, Faces({{0, 1, 2, 0}, {0, 0, 2, 0}, {0, 1, 3, 0}})})})});
    const TJsonRun run = InspectJson({Write(dir, "degenerate.3ds", file)});
    EXPECT_EQ(run.ExitCode, 1);
    const QString warnings = Problems(OnlyReport(run), "warning");
    EXPECT_TRUE(warnings.contains(QStringLiteral("object \"Box\": 2 degenerate faces (face 1 repeats a corner): faces 1, 2")))
        << warnings.toStdString();

    const TJsonRun sound = InspectJson({Write(dir, "sound.3ds", Model({Object("Box", {TriMesh({vertices, Faces({{0, 1, 2, 0}})})})}))});
    EXPECT_EQ(sound.ExitCode, 0) << Problems(OnlyReport(sound), "warning").toStdString();
    const QJsonArray objects = OnlyReport(sound)[QStringLiteral("objects")].toArray();
    ASSERT_EQ(objects.size(), 1);
    EXPECT_EQ(objects[0].toObject()[QStringLiteral("vertices")].toInt(), 4);
    EXPECT_EQ(objects[0].toObject()[QStringLiteral("faces")].toInt(), 1);
}

TEST(InspectTool, SmdProblemsAreErrorsWhenTheReaderRefusesAndWarningsOtherwise)
{
    const QTemporaryDir dir;
    const TJsonRun sound = InspectJson({Write(dir, "sound.smd", SoundSmd())});
    EXPECT_EQ(sound.ExitCode, 0) << Problems(OnlyReport(sound), "warning").toStdString();

    // A parent no node before it has: the reader refuses, on the node's line.
    const TJsonRun orphan = InspectJson({Write(dir, "orphan.smd", SmdModel(QStringLiteral("  1 \"arm\" 7\n"), "0", "  1 0 0 0 0 0 0\n",
                                                                        "0  0 1 0  0 0 1  0 1\n"))});
    EXPECT_EQ(orphan.ExitCode, 2);
    EXPECT_TRUE(Problems(OnlyReport(orphan), "error").contains(QStringLiteral("Parent id 7")));
    EXPECT_TRUE(Problems(OnlyReport(orphan), "error").contains(QStringLiteral("line 4")));

    // A bone the frame leaves out is set to zeros: a warning naming frame and bone.
    const TJsonRun missing = InspectJson({Write(dir, "missing.smd", SmdModel(QStringLiteral("  1 \"arm\" 0\n"), "0", {},
                                                                          "0  0 1 0  0 0 1  0 1\n"))});
    EXPECT_EQ(missing.ExitCode, 1);
    EXPECT_TRUE(Problems(OnlyReport(missing), "warning").contains(QStringLiteral("frame 0 (line 7) leaves out bones 1")))
        << Problems(OnlyReport(missing), "warning").toStdString();

    // Three corners on a line.
    const TJsonRun flat = InspectJson({Write(dir, "flat.smd", SmdModel({}, "0", {}, "0  2 0 0  0 0 1  0 1\n"))});
    EXPECT_EQ(flat.ExitCode, 1);
    EXPECT_TRUE(Problems(OnlyReport(flat), "warning").contains(QStringLiteral("1 degenerate triangles (the first has zero area): the triangles at lines 10")))
        << Problems(OnlyReport(flat), "warning").toStdString();

    // The bone sits 100 units off a model 1.4 units across.
    const TJsonRun far = InspectJson({Write(dir, "far.smd", SmdModel({}, "100", {}, "0  0 1 0  0 0 1  0 1\n"))});
    EXPECT_EQ(far.ExitCode, 1);
    EXPECT_TRUE(Problems(OnlyReport(far), "warning").contains(QStringLiteral("3 vertices lie farther from their bone")))
        << Problems(OnlyReport(far), "warning").toStdString();

    // A corner bound to a bone the skeleton lacks: the load refuses it.
    const TJsonRun unbound = InspectJson({Write(dir, "unbound.smd", SmdModel({}, "0", {}, "4  0 1 0  0 0 1  0 1\n"))});
    EXPECT_EQ(unbound.ExitCode, 2);
    EXPECT_TRUE(Problems(OnlyReport(unbound), "error").contains(QStringLiteral("bone 4")));
    EXPECT_TRUE(Problems(OnlyReport(unbound), "error").contains(QStringLiteral("line 13")));
}

TEST(InspectTool, SmdBoneLinksAreCounted)
{
    const QTemporaryDir dir;
    // The last corner lists two links, bones 0 and 1.
    const QByteArray file = SmdModel(QStringLiteral("  1 \"arm\" 0\n"), "0", "  1 0 0 0 0 0 0\n",
                                     "0  0 1 0  0 0 1  0 1  2 0 0.5 1 0.5\n");
    const QJsonObject report = OnlyReport(InspectJson({Write(dir, "links.smd", file)}));
    const QJsonObject weights = report[QStringLiteral("weights")].toObject();
    EXPECT_EQ(weights[QStringLiteral("vertexLines")].toInt(), 3);
    EXPECT_EQ(weights[QStringLiteral("weightedVertexLines")].toInt(), 1);
    EXPECT_EQ(weights[QStringLiteral("maxInfluences")].toInt(), 2);
}

TEST(InspectTool, TheWorstFileDecidesTheExitStatus)
{
    const QTemporaryDir dir;
    const QString clean = Write(dir, "clean.smd", SoundSmd());
    const QString warning = Write(dir, "warning.smd", SmdModel({}, "0", {}, "0  2 0 0  0 0 1  0 1\n"));
    const QString broken = Write(dir, "broken.smd", "version 2\n");
    EXPECT_EQ(Inspect({clean}).ExitCode, 0);
    EXPECT_EQ(Inspect({clean, warning}).ExitCode, 1);
    EXPECT_EQ(Inspect({warning, broken, clean}).ExitCode, 2);
    const TJsonRun all = InspectJson({warning, broken, clean});
    EXPECT_EQ(all.ExitCode, 2);
    EXPECT_EQ(all.Document[QStringLiteral("status")].toInt(), 2);
    EXPECT_EQ(all.Document[QStringLiteral("files")].toArray().size(), 3);

    // Files that cannot be read, or of no known format, are errors naming them.
    const TToolRun absent = Inspect({dir.filePath("absent.smd")});
    EXPECT_EQ(absent.ExitCode, 2);
    EXPECT_TRUE(absent.Out.contains(QStringLiteral("absent.smd: cannot be opened")));
    const TToolRun unknown = Inspect({Write(dir, "model.obj", "v 0 0 0\n")});
    EXPECT_EQ(unknown.ExitCode, 2);
    EXPECT_TRUE(unknown.Out.contains(QStringLiteral("no model format has the extension \"obj\"")));
    EXPECT_EQ(Inspect({}).ExitCode, 2);
}
