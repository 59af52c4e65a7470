// Writes the committed seeds of the fuzz targets whose formats have no outside
// corpus: native mesh files written by our own writer (every mesh and face
// group class, and the corpus's models as the game loads them), small md2
// files, and small pictures of every kind the picture path decodes.
//   MakeFuzzSeeds <fuzz/seeds> <shared corpus>
#include "../tests/mesh/MD2TestFiles.h"
#include "GLActor.h"
#include "GLBaseMesh.h"
#include "GLGLSMVectorFile.h"
#include "SkeletonMeshObject.h"
#include "VectorFile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
void Save(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    std::printf("%s: %lld bytes\n", qPrintable(path), static_cast<long long>(bytes.size()));
}

QByteArray FromBytes(const std::vector<std::uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// One object of each mesh class, each field set, face groups of each class.
void FillEveryClass(TMeshObjectList& objects)
{
    TMeshObject& plain = objects.Add<TMeshObject>();
    plain.Name = QStringLiteral("plain");
    plain.SetMode(momFaceGroups);
    for (int i = 0; i < 4; ++i)
    {
        const float f = static_cast<float>(i);
        plain.Vertices.Add({f, -f, 0.5f});
        plain.Normals.Add({0, 0, 1});
        plain.TexCoords.Add({f / 4, 1, 0});
        plain.LightMapTexCoords.Add({f, 2});
        plain.Colors.Add({1, f / 4, 0, 1});
    }
    plain.ExtraTexCoords(1).Add({1, 2, 3, 4});
    auto& indices = plain.FaceGroups().Add<TFGVertexIndexList>();
    indices.MaterialName = QStringLiteral("wood");
    indices.SetMode(fgmmQuads);
    for (int i = 0; i < 4; ++i)
        indices.Add(i);
    auto& own = plain.FaceGroups().Add<TFGVertexNormalTexIndexList>();
    own.SetMode(fgmmTriangleFan);
    own.Add(3, 0, 1);
    own.Add(2, 1, 2);
    own.Add(1, 2, 3);
    auto& texCoords = plain.FaceGroups().Add<TFGIndexTexCoordList>();
    texCoords.Add(0, 0.25f, 0.75f);
    texCoords.Add(1, 1, 0);
    texCoords.Add(2, 0, 1);

    auto& morphable = objects.Add<TMorphableMeshObject>();
    morphable.Name = QStringLiteral("morph");
    morphable.SetMode(momTriangles);
    for (int i = 0; i < 3; ++i)
        morphable.Vertices.Add({static_cast<float>(i), 1, 0});
    morphable.AddMorphTarget(QStringLiteral("rest"));
    morphable.AddMorphTarget(QStringLiteral("raised"));

    auto& skinned = objects.Add<TSkeletonMeshObject>();
    skinned.Name = QStringLiteral("skin");
    skinned.FindOrAddVertex(1, {2, 0, 0}, {1, 0, 0});
    skinned.FindOrAddVertex(0, {0, 2, 0}, {0, 1, 0});
    skinned.AppendBoneWeights({{0, 0.25f}, {1, 0.75f}});
    skinned.Vertices.Add({0, 0, 2});
    skinned.Normals.Add({0, 0, 1});
    skinned.AddMorphTarget(QStringLiteral("bind"));
}

void WriteGLSMSeeds(const QDir& seeds, const QString& corpus)
{
    seeds.mkpath(QStringLiteral("glsm"));
    {
        TMeshObjectList objects;
        Save(seeds.filePath(QStringLiteral("glsm/empty.glsm")), WriteGLSM(objects));
        FillEveryClass(objects);
        Save(seeds.filePath(QStringLiteral("glsm/every-class.glsm")), WriteGLSM(objects));
    }
    {
        TGLFreeForm md2(nullptr);
        QByteArray bytes = FromBytes(TSmallMD2::Bytes());
        QBuffer stream(&bytes);
        stream.open(QIODevice::ReadOnly);
        md2.LoadFromStream(QStringLiteral("small.md2"), stream);
        Save(seeds.filePath(QStringLiteral("glsm/small-md2.glsm")), WriteGLSM(md2.MeshObjects()));
    }
    for (const char* model : {"smd/assimp/triangle.smd", "3ds/assimp/cubes_with_alpha.3DS"})
    {
        const QString path = QDir(corpus).filePath(QLatin1String(model));
        if (!QFile::exists(path))
            continue;
        TGLActor mesh(nullptr);
        mesh.SetIgnoreMissingTextures(true);
        mesh.LoadFromFile(path);
        Save(seeds.filePath(QStringLiteral("glsm/%1.glsm").arg(QFileInfo(path).completeBaseName())),
             WriteGLSM(mesh.MeshObjects()));
    }
}

void WriteMD2Seeds(const QDir& seeds)
{
    seeds.mkpath(QStringLiteral("md2"));
    Save(seeds.filePath(QStringLiteral("md2/small.md2")), FromBytes(TSmallMD2::Bytes()));
}

// A TGA file's 18-byte header.
QByteArray TgaHeader(int mapType, int imageType, int mapLength, int mapBits, int width, int height, int bits, int descriptor)
{
    const auto le16 = [](int v)
    {
        const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        return QByteArray(bytes, 2);
    };
    QByteArray h;
    h += char(0);
    h += char(mapType);
    h += char(imageType);
    h += le16(0) + le16(mapLength) + char(mapBits);
    h += le16(0) + le16(0) + le16(width) + le16(height);
    h += char(bits);
    h += char(descriptor);
    return h;
}

void WriteTgaSeeds(const QDir& seeds)
{
    // 2 x 2 true colour, bottom-up, uncompressed.
    Save(seeds.filePath(QStringLiteral("picture/true24.tga")),
         TgaHeader(0, 2, 0, 0, 2, 2, 24, 0) + QByteArray("\x00\x00\xff\x00\xff\x00\xff\x00\x00\xff\xff\xff", 12));
    // 3 x 2 with alpha, top-down, run-length: a run of 3, then 3 literals.
    Save(seeds.filePath(QStringLiteral("picture/rle32.tga")),
         TgaHeader(0, 10, 0, 0, 3, 2, 32, 0x28) + QByteArray("\x82\x10\x20\x30\xff\x02\x01\x02\x03\x80\x04\x05\x06\x00\x07\x08\x09\x40", 18));
    // 2 x 2 indices into a map of 2 colours of 24 bits.
    Save(seeds.filePath(QStringLiteral("picture/mapped8.tga")),
         TgaHeader(1, 1, 2, 24, 2, 2, 8, 0) + QByteArray("\x00\x00\xff\xff\x00\x00\x00\x01\x01\x00", 10));
    // 2 x 2 grey with alpha, run-length.
    Save(seeds.filePath(QStringLiteral("picture/grey16.tga")),
         TgaHeader(0, 11, 0, 0, 2, 2, 16, 8) + QByteArray("\x83\x80\xff", 3));
    // 2 x 1 of 15 bits.
    Save(seeds.filePath(QStringLiteral("picture/true15.tga")),
         TgaHeader(0, 2, 0, 0, 2, 1, 16, 0) + QByteArray("\x1f\x00\xe0\x7f", 4));
}

QByteArray Encoded(const QImage& picture, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer stream(&bytes);
    stream.open(QIODevice::WriteOnly);
    QImageWriter writer(&stream, format);
    writer.setProgressiveScanWrite(progressive);
    if (!writer.write(picture))
    {
        std::fprintf(stderr, "cannot encode %s: %s\n", format, qPrintable(writer.errorString()));
        std::exit(1);
    }
    return bytes;
}

void WritePictureSeeds(const QDir& seeds)
{
    seeds.mkpath(QStringLiteral("picture"));
    QImage picture(5, 3, QImage::Format_RGB888);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.setPixelColor(x, y, QColor(x * 50, y * 100, 128));
    const QByteArray jpeg = Encoded(picture, "jpg");
    Save(seeds.filePath(QStringLiteral("picture/small.jpg")), jpeg);
    Save(seeds.filePath(QStringLiteral("picture/progressive.jpg")), Encoded(picture, "jpg", true));
    Save(seeds.filePath(QStringLiteral("picture/grey.jpg")), Encoded(picture.convertToFormat(QImage::Format_Grayscale8), "jpg"));
    // The stored form of a layout's picture: class name, byte count, JPEG file.
    QByteArray stored;
    stored += char(10);
    stored += "TJPEGImage";
    const quint32 count = static_cast<quint32>(jpeg.size());
    for (int i = 0; i < 4; ++i)
        stored += static_cast<char>(count >> (8 * i));
    Save(seeds.filePath(QStringLiteral("picture/small.stored")), stored + jpeg);
    Save(seeds.filePath(QStringLiteral("picture/small.bmp")), Encoded(picture, "bmp"));
    Save(seeds.filePath(QStringLiteral("picture/indexed.bmp")),
         Encoded(picture.convertToFormat(QImage::Format_Indexed8), "bmp"));
    Save(seeds.filePath(QStringLiteral("picture/small.png")), Encoded(picture, "png"));
    Save(seeds.filePath(QStringLiteral("picture/small.ppm")), Encoded(picture, "ppm"));
    Save(seeds.filePath(QStringLiteral("picture/small.pgm")), Encoded(picture, "pgm"));
    Save(seeds.filePath(QStringLiteral("picture/small.pbm")), Encoded(picture, "pbm"));
    // 1 x 1 GIF with a global colour table of two entries.
    Save(seeds.filePath(QStringLiteral("picture/small.gif")),
         QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\xff"
                    ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                    35));
    WriteTgaSeeds(seeds);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <seeds folder> <shared corpus>\n", argv[0]);
        return 2;
    }
    RegisterVectorFileFormats();
    const QDir seeds(QString::fromLocal8Bit(argv[1]));
    WriteGLSMSeeds(seeds, QString::fromLocal8Bit(argv[2]));
    WriteMD2Seeds(seeds);
    WritePictureSeeds(seeds);
    return 0;
}
