#include "Exceptions.h"

#include <cstdio>
#include <cstdlib>

Exception::Exception(const QString& message)
    : std::runtime_error(message.toStdString()), FMessage(message)
{
}

void AbortOnFailedAssertion(const QString& message)
{
    std::fprintf(stderr, "Assertion failed: %s\n", qUtf8Printable(message));
    std::fflush(stderr);
    std::abort();
}
