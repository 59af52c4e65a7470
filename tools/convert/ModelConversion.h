#pragma once

#include "Exceptions.h"

#include <QString>

// A conversion that cannot be made: the message says which file and why.
class EConversionError : public Exception
{
public:
    using Exception::Exception;
};

// The pairs of extensions a conversion takes, for messages and help.
QString SupportedConversions();

// Reads `input` with the game's reader for its extension and writes it with
// the writer for the extension of `output`. The native format keeps no
// skeleton, so writing SMD from it takes the bones and frames of the model
// file `skeleton`. The output is replaced only once it is written whole.
void ConvertModel(const QString& input, const QString& output, const QString& skeleton);
