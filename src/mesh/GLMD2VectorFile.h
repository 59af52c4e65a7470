#pragma once

#include "VectorFile.h"

// Reads an md2 model into one morphable mesh object: the first frame is its
// shape, every frame a morph target named after the frame.
class TGLMD2VectorFile : public TVectorFile
{
    Q_OBJECT

public:
    using TVectorFile::TVectorFile;

    void LoadFromStream(QIODevice& stream) override;
};
