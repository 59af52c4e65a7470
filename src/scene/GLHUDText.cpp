#include "GLHUDText.h"

#include "GLSceneBuffer.h"
#include "GLStateCache.h"
#include "ScopeGuard.h"

#include <GL/gl.h>

TGLHUDText::TGLHUDText(QObject* AOwner)
    : TGLImmaterialSceneObject(AOwner), FModulateColor(new TGLColor(this, {1, 1, 1, 1}))
{
    SetObjectStyle(ObjectStyle() | osDirectDraw | osNoVisibilityCulling);
}

TGLHUDText::~TGLHUDText()
{
    if (FBitmapFont != nullptr)
        FBitmapFont->UnRegisterUser(this);
}

void TGLHUDText::Changed()
{
    MarkStructureChanged();
    NotifyChanged();
}

void TGLHUDText::SetBitmapFont(TGLCustomBitmapFont* value)
{
    if (value == FBitmapFont)
        return;
    if (FBitmapFont != nullptr)
        FBitmapFont->UnRegisterUser(this);
    FBitmapFont = value;
    if (FBitmapFont != nullptr)
        FBitmapFont->RegisterUser(this);
    Changed();
}

void TGLHUDText::SetText(const QString& value)
{
    if (value == FText)
        return;
    FText = value;
    Changed();
}

void TGLHUDText::SetAlignment(BitmapFontTypes::TAlignment value)
{
    if (value == FAlignment)
        return;
    FAlignment = value;
    Changed();
}

void TGLHUDText::SetLayout(BitmapFontTypes::TTextLayout value)
{
    if (value == FLayout)
        return;
    FLayout = value;
    Changed();
}

void TGLHUDText::SetRotation(float value)
{
    if (value == FRotation)
        return;
    FRotation = value;
    Changed();
}

void TGLHUDText::BitmapFontChanged(TGLCustomBitmapFont*)
{
    Changed();
}

void TGLHUDText::BitmapFontDestroyed(TGLCustomBitmapFont* font)
{
    if (font == FBitmapFont)
        SetBitmapFont(nullptr);
}

void TGLHUDText::DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren)
{
    if (renderSelf && FBitmapFont != nullptr && !FText.isEmpty() && info.ViewportWidth > 0 && info.ViewportHeight > 0)
        DrawText(info);
    if (renderChildren)
        RenderChildren(info);
}

void TGLHUDText::DrawText(TRenderContextInfo& info)
{
    // A font that fails to build fails here, before any matrix is pushed.
    FBitmapFont->PrepareGlyphs();
    if (info.GLStates != nullptr)
        info.GLStates->SetPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    else
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    // Over the projection in force before the camera's, so that picking still
    // sees the text under its pick matrix. The guards pop what is pushed here
    // even when the glyphs fail to upload.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    const TScopeExit popModelView(
        []
        {
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
        });
    if (info.Buffer != nullptr)
        glLoadMatrixf(info.Buffer->BaseProjectionMatrix().Data());
    else
        glLoadIdentity();
    // A viewer's own ratio is exact where its whole-number resolution would
    // round a fractional one.
    const float f = info.Buffer != nullptr                     ? static_cast<float>(info.Buffer->PixelRatio())
                    : info.RenderDPI == 96 || info.RenderDPI <= 0 ? 1.0f
                                                                  : info.RenderDPI / 96.0f;
    const float width = static_cast<float>(info.ViewportWidth);
    const float height = static_cast<float>(info.ViewportHeight);
    glScalef(2 / width, 2 / height, 1);
    glTranslatef(f * Position()->X() - width / 2, height / 2 - f * Position()->Y(), Position()->Z());
    if (FRotation != 0)
        glRotatef(FRotation, 0, 0, 1);
    glScalef(f * Scale()->X(), f * Scale()->Y(), 1);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    const TScopeExit popProjection(
        []
        {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
        });
    glLoadIdentity();
    // The string turns texturing, lighting and blending on and off behind the
    // state cache; restoring the enable flags keeps the cache right.
    glPushAttrib(GL_ENABLE_BIT);
    const TScopeExit popEnableFlags([] { glPopAttrib(); });
    glDisable(GL_DEPTH_TEST);
    FBitmapFont->RenderString(info, FText, FAlignment, FLayout, FModulateColor->Color());
}
