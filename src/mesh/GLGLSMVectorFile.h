#pragma once

#include "VectorFile.h"

#include <QByteArray>

class TMeshObjectList;

// The program's own model format: the whole mesh object list, each class with
// a version of its own (layout in docs/glsm.md).
class TGLGLSMVectorFile : public TVectorFile
{
    Q_OBJECT

public:
    using TVectorFile::TVectorFile;

    unsigned Capabilities() const override { return dfcRead | dfcWrite; }
    void LoadFromStream(QIODevice& stream) override;
    void SaveToStream(QIODevice& stream) override;
};

// The bytes of a mesh object list, and the reading of them into a list; the
// reading throws EInvalidVectorFile naming `sourceName`, the offset and what
// was expected. Objects read before a failure stay in the list.
QByteArray WriteGLSM(const TMeshObjectList& objects);
void ReadGLSM(const QByteArray& data, const QString& sourceName, TMeshObjectList& objects);
