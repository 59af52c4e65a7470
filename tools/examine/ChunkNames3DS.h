#pragma once

#include <QString>
#include <cstdint>
#include <optional>

// The readable name of a 3DS chunk tag; nothing for a tag this program does
// not know. Some known tags have no name worth showing: they give "".
std::optional<QString> ChunkName3DS(uint16_t tag);

// "0x4D4D".
QString ChunkTagText(uint16_t tag);
