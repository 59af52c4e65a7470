#pragma once

#include <QString>
#include <stdexcept>

// Root of the system's failures. Each carries the exact text shown to the user.
class Exception : public std::runtime_error
{
public:
    explicit Exception(const QString& message);
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

// A stored window layout that cannot be applied.
class ELayoutError : public Exception
{
public:
    using Exception::Exception;
};

// A call that is not valid in the object's present state.
class EInvalidOperation : public Exception
{
public:
    using Exception::Exception;
};

// A thread operation that failed.
class EThread : public Exception
{
public:
    using Exception::Exception;
};
