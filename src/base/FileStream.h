#pragma once

#include <QFile>
#include <QString>

#include <memory>

enum TFileStreamMode
{
    // Read access; writers that also lock the file are kept out until the
    // stream is closed.
    fmOpenReadShareDenyWrite,
    // Created or truncated for writing, with every other locker kept out.
    fmCreate,
};

// Opens a named file as a stream. Throws EFOpenError naming the file and the
// system's reason.
std::unique_ptr<QFile> CreateFileStream(const QString& fileName, TFileStreamMode mode);
