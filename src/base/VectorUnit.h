#pragma once

// Some library routines (Qt's hashing of long strings on processors with
// 256-bit AES, for one) leave the upper halves of the wide vector registers
// in use when they return. Until something clears them, every ordinary
// scalar float instruction runs several times slower on such processors, so
// the float-heavy paths (reading model text, posing and skinning) clear them
// first. Without that instruction set this does nothing.
void ClearUpperVectorRegisters();
