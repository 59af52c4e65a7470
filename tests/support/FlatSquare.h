#pragma once

#include <GL/gl.h>

// A square of half-size 0.2 in the XY plane, facing +Z, in one flat colour:
// the shape the pixel tests look for.
inline void DrawFlatSquare(GLubyte red, GLubyte green, GLubyte blue)
{
    glColor3ub(red, green, blue);
    glBegin(GL_QUADS);
    glNormal3f(0, 0, 1);
    glVertex3f(-0.2f, -0.2f, 0);
    glVertex3f(0.2f, -0.2f, 0);
    glVertex3f(0.2f, 0.2f, 0);
    glVertex3f(-0.2f, 0.2f, 0);
    glEnd();
}
