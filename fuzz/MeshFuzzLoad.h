#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

class TGLBaseMesh;

// Loads the bytes into the mesh through the format registry, as the game
// loads a model file named `fileName`, then uses what the load produced the
// way drawing and picking do: extents, triangles, every morph target. Errors
// of our Exception family are the expected answer to bad bytes and end the
// load quietly; anything else is a finding.
void FuzzLoadMesh(TGLBaseMesh& mesh, const QString& fileName, const std::uint8_t* data, std::size_t size);
