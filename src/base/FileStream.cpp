#include "FileStream.h"

#include "Exceptions.h"

#include <sys/file.h>

#include <cerrno>
#include <cstring>

namespace
{
[[noreturn]] void FailToOpen(const QString& fileName, const QString& reason)
{
    throw EFOpenError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, reason));
}
} // namespace

// Locks are advisory on this system: they keep out the writers that lock too,
// such as a save through fmCreate, not every program.
std::unique_ptr<QFile> CreateFileStream(const QString& fileName, TFileStreamMode mode)
{
    auto file = std::make_unique<QFile>(fileName);
    const bool reading = mode == fmOpenReadShareDenyWrite;
    // Truncating only once the lock is held leaves a file being read intact.
    if (!file->open(reading ? QIODevice::ReadOnly : QIODevice::ReadWrite))
        FailToOpen(fileName, file->errorString());
    if (::flock(file->handle(), (reading ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0)
        FailToOpen(fileName, QString::fromLocal8Bit(std::strerror(errno)));
    if (!reading && !file->resize(0))
        FailToOpen(fileName, file->errorString());
    return file;
}
