#pragma once

#include "GLSceneBuffer.h"
#include "GLSceneViewer.h"

#include <QImage>
#include <QOpenGLContext>

#include <GL/gl.h>

// Draws one frame of the viewer and reads its pixels back, top row first.
inline QImage RenderViewerPixels(TGLSceneViewer& viewer, const int width, const int height)
{
    TGLSceneBuffer& buffer = *viewer.Buffer();
    buffer.Render();
    buffer.RenderingContext()->makeCurrent(viewer.RenderWindow());
    QImage picture(width, height, QImage::Format_RGBA8888);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, picture.bits());
    return picture.mirrored().convertToFormat(QImage::Format_RGB32);
}
