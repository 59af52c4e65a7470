#pragma once

#include "GLPersistentImage.h"

#include <QImage>
#include <QString>

// The file `fileName` names: itself when it exists, otherwise the path whose
// components equal its components ignoring case, with backslashes taken as
// separators. Model files made where names ignore case say "TEST.PNG" for
// test.png. Where several entries of a folder match, the first in name order
// is taken. Relative names start from the current directory. Empty when
// nothing matches.
QString FindFileIgnoringCase(const QString& fileName);

// The picture of the texture file `fileName`, found as above. JPEG files go
// through the decoder and limits of stored pictures, TGA files through
// TryDecodeTga, BMP, PNG, GIF and the portable pixmaps through Qt's readers;
// a picture with a side above the same limit is refused before decoding.
// Throws ETextureLoadError naming `fileName` as given.
QImage LoadTextureFile(const QString& fileName, const TJpegLimits& limits = {});
