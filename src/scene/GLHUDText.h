#pragma once

#include "GLBitmapFont.h"
#include "GLColor.h"
#include "SceneObjects.h"

#include <QPointer>

// A text drawn over the scene in viewer pixels: Position X and Y count from
// the viewer's top-left corner, y downwards; Scale and Rotation (degrees)
// turn and stretch it round that anchor. The local matrix is not used.
class TGLHUDText : public TGLImmaterialSceneObject, public TGLBitmapFontUser
{
    Q_OBJECT
    Q_PROPERTY(TGLCustomBitmapFont* BitmapFont READ BitmapFont WRITE SetBitmapFont)
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(BitmapFontTypes::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(BitmapFontTypes::TTextLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(TGLColor* ModulateColor READ ModulateColor)
    Q_PROPERTY(float Rotation READ Rotation WRITE SetRotation)

public:
    explicit TGLHUDText(QObject* AOwner);
    ~TGLHUDText() override;

    TGLCustomBitmapFont* BitmapFont() const { return FBitmapFont; }
    void SetBitmapFont(TGLCustomBitmapFont* value);
    QString Text() const { return FText; }
    void SetText(const QString& value);
    BitmapFontTypes::TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(BitmapFontTypes::TAlignment value);
    BitmapFontTypes::TTextLayout Layout() const { return FLayout; }
    void SetLayout(BitmapFontTypes::TTextLayout value);
    TGLColor* ModulateColor() const { return FModulateColor; }
    void SetModulateColor(const TColorVector& value) { FModulateColor->SetColor(value); }
    float Rotation() const { return FRotation; }
    void SetRotation(float value);

    void DrawObject(TRenderContextInfo& info, bool renderSelf, bool renderChildren) override;

    void BitmapFontChanged(TGLCustomBitmapFont* font) override;
    void BitmapFontDestroyed(TGLCustomBitmapFont* font) override;

private:
    void Changed();
    void DrawText(TRenderContextInfo& info);

    TGLColor* const FModulateColor;
    TGLCustomBitmapFont* FBitmapFont = nullptr;
    QString FText;
    BitmapFontTypes::TAlignment FAlignment = BitmapFontTypes::taLeftJustify;
    BitmapFontTypes::TTextLayout FLayout = BitmapFontTypes::tlTop;
    float FRotation = 0;
};
