#pragma once

// How a key pose is approached from the key before it.
namespace Fighter
{

enum TEase
{
    eaInOut,  // starts and arrives at rest: the default for moves between held poses
    eaIn,     // starts at rest and arrives at full speed: a fall, a landing foot
    eaOut,    // leaves at full speed and comes to rest: a take-off
    eaLinear, // constant speed: a foot planted on the moving ground
};

// Progress along a segment at t in 0..1, eased; 0 at t = 0 and 1 at t = 1.
double Ease(TEase ease, double t);

} // namespace Fighter
