#pragma once

#include "Kinematics.h"
#include "StickMesh.h"

#include <string>
#include <vector>

// SMD text for the stick figure: the model (nodes, its one bind frame and its
// triangles) and animations (nodes and frames only). Numbers are written the
// same way on every machine: fixed decimals, always with ".".
namespace Fighter
{

std::string SmdModel(const TPose& bindPose, const std::vector<TSkinTriangle>& triangles);
std::string SmdAnimation(const std::vector<TPose>& frames);

// Fixed-point text of `value` with `decimals` digits after the point; a value
// that rounds to zero is written without a minus sign.
std::string FormatNumber(double value, int decimals);

} // namespace Fighter
