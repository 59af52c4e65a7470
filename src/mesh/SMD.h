#pragma once

#include "BinaryReader.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

// Reader and writer of SMD text: skeletal models and animations as lines of
// keywords and numbers. The records below are what a file holds, read in the
// order a mesh takes them (bones, frames, triangles) and checked on the way,
// so that filling a skeleton, a mesh object and an animation from them is a
// plain walk that cannot fail on the file's account.

// An SMD file that cannot be read. The message starts with what is wrong and
// ends with where: (in "file", line n) or (in "file", at the end of the file).
class ESMDError : public EReadError
{
public:
    ESMDError(const QString& what, const QString& fileName, int line);
    // A fault that is not at a line: the message as given, Line() -1.
    ESMDError(const QString& message, const QString& fileName);

    const QString& FileName() const { return FFileName; }
    // 1-based; 0 when the fault is at the end of the file.
    int Line() const { return FLine; }

private:
    QString FFileName;
    int FLine;
};

// The file's lines as views into its bytes. CR, LF and CR LF all end a line;
// a last line without an end still counts, and a UTF-8 byte-order mark at the
// very start is not part of the first line.
class TSMDLines
{
public:
    explicit TSMDLines(std::string_view bytes);

    size_t Count() const { return FLines.size(); }
    std::string_view operator[](size_t index) const { return FLines[index]; }

private:
    std::vector<std::string_view> FLines;
};

// The tokens of one data line. Commas and white space separate tokens (a run
// of them counts as one separator). A token that starts with a double quote
// runs to the next double quote and loses both, so it may hold spaces and
// commas, or be empty; without a closing quote it runs to the end of the line.
// Only the first Kept tokens are stored; Count() counts them all.
class TSMDTokens
{
public:
    static constexpr size_t Kept = 12;

    explicit TSMDTokens(std::string_view line);

    size_t Count() const { return FCount; }
    std::string_view operator[](size_t index) const { return FTokens[index]; }

private:
    std::array<std::string_view, Kept> FTokens;
    size_t FCount = 0;
};

// A decimal number with "." or "," as separator, an optional sign and an
// optional exponent, independent of the C locale. The whole token must be such
// a number of single range; anything else gives 0.
float ParseSMDFloat(std::string_view token);

// An optionally signed run of decimal digits, and nothing else, in 32-bit
// range; nothing otherwise.
std::optional<int32_t> ParseSMDInteger(std::string_view token);

// The name of the animation a file becomes in an actor: its name up to the
// first "." ("Anime_Pas.smd" gives "Anime_Pas", "../x.smd" the empty text).
QString SMDAnimationName(const QString& sourceName);

struct TSMDVector
{
    float X = 0, Y = 0, Z = 0;
    friend bool operator==(const TSMDVector&, const TSMDVector&) = default;
};

// A node line. Ids are unique, count 0 up to the number of nodes less one,
// and a parent is listed before its children (-1 for a root).
struct TSMDNode
{
    int32_t Id = 0;
    QString Name;
    int32_t ParentId = -1;
    int Line = 0;
};

// One pose: per bone index a position and rotation angles (radians), bones
// missing from the file as zero vectors. Exactly as many entries as bones.
struct TSMDFrame
{
    QString Name; // the "time" line, a space, the file's name
    int Line = 0;
    std::vector<TSMDVector> Positions;
    std::vector<TSMDVector> Rotations;
};

struct TSMDCorner
{
    // Not checked against the bones here: it may name a bone of a skeleton
    // loaded from an earlier file.
    int32_t BoneId = 0;
    TSMDVector Position, Normal;
    float S = 0, T = 0;
    int Line = 0;
    // The number (3 x triangle + corner) of the file's first corner read from
    // exactly the same text, so that filling can reuse what that one gave;
    // -1 when no earlier corner had this text.
    int SameAs = -1;
};

struct TSMDTriangle
{
    std::array<TSMDCorner, 3> Corners;
};

// Consecutive triangles of one material: one face group.
struct TSMDMaterialRun
{
    QString MaterialName;
    int Line = 0;
    size_t FirstTriangle = 0;
    size_t TriangleCount = 0;
};

// What the mesh being filled holds already, which decides how a file is read.
struct TSMDContext
{
    bool OwnerHasMeshObjects = false;
    // Bones of a model loaded before; a file's nodes are then skipped unread
    // and its frames must fit these bones.
    int BoneCount = 0;
    int FrameCount = 0;
};

struct TSMDFile
{
    QString FileName;
    // The file has a "triangles" line: it brings a mesh object of its own.
    // Without one it is an animation for the owner's mesh object.
    bool IsModel = false;
    // Empty when the context's bones made the nodes be skipped.
    std::vector<TSMDNode> Nodes;
    // Entries per frame: the nodes read, or the context's bones.
    int BoneCount = 0;
    // Index of the first frame of this file in the skeleton.
    int FrameBase = 0;
    std::vector<TSMDFrame> Frames;
    // A triangles section follows the skeleton (it may be empty).
    bool HasTriangles = false;
    std::vector<TSMDTriangle> Triangles;
    std::vector<TSMDMaterialRun> Runs;

    std::span<const TSMDTriangle> TrianglesOf(const TSMDMaterialRun& run) const
    {
        return std::span<const TSMDTriangle>(Triangles).subspan(run.FirstTriangle, run.TriangleCount);
    }
};

// Reads a whole file; throws ESMDError at the first fault.
TSMDFile ParseSMD(std::string_view bytes, const QString& fileName, const TSMDContext& context);
TSMDFile ParseSMD(const QByteArray& bytes, const QString& fileName, const TSMDContext& context);

// The text of a file holding the given nodes (in the order given), frames
// (numbered from 0; their names are not written), and, when HasTriangles is
// set, the triangles of every run. Lines end with CR LF; numbers are written
// with "." whatever the locale. Throws ESMDError for a name the format cannot
// hold (a quote or line break in a bone name, a line break in a material name,
// a material named "end"), since reading it back would give other data.
QByteArray WriteSMD(const TSMDFile& file, const QString& fileName);
