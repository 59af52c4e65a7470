#pragma once

#include "base/Exceptions.h"

#include <string>

// The message of the EAssertionFailed that `call` raises, or a note that it
// raised none; as a standard string, which test failures print readably.
// Other exceptions pass through and fail the test.
template <typename TCall>
std::string AssertionMessage(TCall&& call)
{
    try
    {
        call();
    }
    catch (const EAssertionFailed& failure)
    {
        return failure.Message().toStdString();
    }
    return "(no assertion failure)";
}
