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

// A programming error caught by a consistency check, in every build type: a
// cyclic material reference, an unbalanced EndUpdate, an unknown mode.
class EAssertionFailed : public Exception
{
public:
    using Exception::Exception;
};

// The rendering context could not be made or used.
class EGLContextError : public Exception
{
public:
    using Exception::Exception;
};

// OpenGL reported an error while a frame was drawn.
class EOpenGLError : public Exception
{
public:
    using Exception::Exception;
};

// A pick requested while the buffer is already drawing, or an unbalanced
// matrix stack: programming errors of the render pass.
class EGLRenderingError : public EAssertionFailed
{
public:
    using EAssertionFailed::EAssertionFailed;
};

// A picture that cannot be decoded: corrupt, truncated, or of absurd size.
class EInvalidGraphic : public Exception
{
public:
    using Exception::Exception;
};

// A texture picture named by a file that cannot be found or read. Model
// readers told to ignore missing textures catch exactly this one.
class ETextureLoadError : public Exception
{
public:
    using Exception::Exception;
};

// The glyphs of a font cannot be placed in the largest texture.
class EGLBitmapFontError : public Exception
{
public:
    using Exception::Exception;
};

// A file that cannot be opened or created.
class EFOpenError : public Exception
{
public:
    using Exception::Exception;
};

// A controls file (the player's key layout) that cannot be read or used.
class EControlsFileError : public Exception
{
public:
    using Exception::Exception;
};

// A model file of no registered format, or whose content cannot be read.
class EInvalidVectorFile : public Exception
{
public:
    using Exception::Exception;
};

// An object used as a class it is not.
class EInvalidCast : public Exception
{
public:
    using Exception::Exception;
};

// A consistency check that fails while an object is being destroyed. Nothing
// may be thrown out of a destructor and going on would leave dangling state,
// so the condition goes to the error stream and the program stops.
[[noreturn]] void AbortOnFailedAssertion(const QString& message);
