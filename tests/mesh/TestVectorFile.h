#pragma once

#include "mesh/VectorFile.h"

#include <QString>

// A tiny text format for the tests, one command a line: "o NAME" starts a
// mesh object, "m NAME" a morphable one, "v X Y Z" adds a vertex to the last
// one, "t" gives a morphable object a morph target of its present vertices,
// "f NAME" appends a skeleton frame, "fail" stops the reading with an error.
// Registered as "tst"; writes the mesh objects and their vertices.
class TTestVectorFile : public TVectorFile
{
    Q_OBJECT

public:
    using TVectorFile::TVectorFile;

    unsigned Capabilities() const override { return dfcRead | dfcWrite; }
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;

    // What the last instance was handed before it read.
    static QString LastResourceName;
    static TMeshNormalsOrientation LastNormalsOrientation;
};

// The same format registered as "rdo", which can only be read.
class TReadOnlyTestVectorFile : public TTestVectorFile
{
    Q_OBJECT

public:
    using TTestVectorFile::TTestVectorFile;

    unsigned Capabilities() const override { return dfcRead; }
};

// Registers both formats once per process.
void RegisterTestVectorFiles();
// Writes `text` to `fileName`.
void WriteTextFile(const QString& fileName, const QByteArray& text);
