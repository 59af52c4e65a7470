#pragma once

#include "Control.h"

class QProgressBar;

// A line of text; with AutoSize it takes the size of its text.
class TLabel : public TControl
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)

public:
    explicit TLabel(QWidget* AOwner);

    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool value);

    void Loaded() override;

protected:
    void FontChanged() override;
    void Paint() override;

private:
    void AdjustBounds();

    QString FCaption;
    bool FAutoSize = true;
    bool FTransparent = true;
};

// A picture; with AutoSize it takes the picture's size, with Center it draws
// the picture in its middle, with Stretch it fills itself with it.
class TImage : public TControl
{
    Q_OBJECT
    Q_PROPERTY(TPicture* Picture READ Picture)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE SetCenter)
    Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)

public:
    explicit TImage(QWidget* AOwner);

    TPicture* Picture() const { return FPicture; }
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Center() const { return FCenter; }
    void SetCenter(bool value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);

protected:
    void Paint() override;

private:
    void PictureChanged();

    TPicture* const FPicture;
    bool FAutoSize = false;
    bool FCenter = false;
    bool FStretch = false;
};

// The platform's progress bar. Positions outside Min..Max are held at the
// nearer end; every change of position paints at once, so that the bar moves
// during long work that processes no messages.
class TProgressBar : public TControl
{
    Q_OBJECT
    Q_PROPERTY(int Min READ Min WRITE SetMin)
    Q_PROPERTY(int Max READ Max WRITE SetMax)
    Q_PROPERTY(int Position READ Position WRITE SetPosition)
    Q_PROPERTY(int Step READ Step WRITE SetStep)

public:
    explicit TProgressBar(QWidget* AOwner);

    int Min() const { return FMin; }
    void SetMin(int value);
    int Max() const { return FMax; }
    void SetMax(int value);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    int Step() const { return FStep; }
    void SetStep(int value) { FStep = value; }
    void StepIt();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetParams(int min, int max);
    void Show();

    QProgressBar* const FBar;
    int FMin = 0;
    int FMax = 100;
    int FPosition = 0;
    int FStep = 10;
};

// Registers the controls of this module by class name.
void RegisterStdControls();
