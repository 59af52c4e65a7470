#pragma once

#include "BinaryReader.h"

#include <QString>

#include <functional>

// The message of the EReadError that `action` raises, or a note that it
// raised none. Other exceptions pass through and fail the test.
inline QString ErrorOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const EReadError& error)
    {
        return error.Message();
    }
    return QStringLiteral("(no error)");
}
