#pragma once

#include "Exceptions.h"

#include <cstdio>
#include <cstdlib>

// A refusal is the expected answer to bad bytes and passes quietly; with
// FUZZ_VERBOSE set its text is printed, to check that seeds are accepted.
inline void NoteRefusal(const Exception& refusal)
{
    static const bool verbose = std::getenv("FUZZ_VERBOSE") != nullptr;
    if (verbose)
        std::fprintf(stderr, "refused: %s\n", qPrintable(refusal.Message()));
}
