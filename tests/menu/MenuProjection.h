#pragma once

#include "menu/Inter.h"

#include <QPoint>
#include <QRectF>

#include <optional>

// Where the menu's meshes stand in its viewer's pixels, worked out from their
// triangles and the camera's placement by hand, not by the viewer.

// The centre of the mesh's `rank`-th largest triangle on screen, distinct
// points for distinct ranks; nothing when the mesh has fewer.
std::optional<QPoint> ViewerPointOn(TGLFreeForm& mesh, int rank = 0);
// The rectangle the mesh covers.
QRectF ViewerBounds(TGLFreeForm& mesh);
// A point outside every button and the fighter; nothing when they cover all.
std::optional<QPoint> ViewerBackground(TMenu_Jeu& menu);
