#include "StdControls.h"

#include "ClassRegistry.h"
#include "Exceptions.h"

#include <QFontMetrics>
#include <QPainter>
#include <QProgressBar>
#include <QResizeEvent>

TLabel::TLabel(QWidget* AOwner)
    : TControl(AOwner)
{
}

void TLabel::SetCaption(const QString& value)
{
    FCaption = value;
    AdjustBounds();
    update();
}

void TLabel::SetAutoSize(bool value)
{
    FAutoSize = value;
    AdjustBounds();
}

void TLabel::SetTransparent(bool value)
{
    FTransparent = value;
    update();
}

void TLabel::Loaded()
{
    TControl::Loaded();
    AdjustBounds();
}

void TLabel::FontChanged()
{
    setFont(Font()->ToQFont());
    AdjustBounds();
    update();
}

void TLabel::AdjustBounds()
{
    if (!FAutoSize || IsLoading())
        return;
    const QFontMetrics metrics(font());
    SetBounds(Left(), Top(), metrics.horizontalAdvance(FCaption), metrics.height());
}

void TLabel::Paint()
{
    QPainter painter(this);
    ScalePainter(painter);
    if (!FTransparent)
        painter.fillRect(ClientRect(), ColorToRGB(Color()));
    painter.setFont(font());
    painter.setPen(ColorToRGB(Font()->Color()));
    painter.drawText(ClientRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, FCaption);
}

TImage::TImage(QWidget* AOwner)
    : TControl(AOwner), FPicture(new TPicture(this))
{
    connect(FPicture, &TPicture::Changed, this, [this] { PictureChanged(); });
}

void TImage::SetAutoSize(bool value)
{
    FAutoSize = value;
    PictureChanged();
}

void TImage::SetCenter(bool value)
{
    FCenter = value;
    update();
}

void TImage::SetStretch(bool value)
{
    FStretch = value;
    update();
}

void TImage::PictureChanged()
{
    if (FAutoSize && !FPicture->Empty())
        SetBounds(Left(), Top(), FPicture->Width(), FPicture->Height());
    update();
}

void TImage::Paint()
{
    if (FPicture->Empty())
        return;
    QPainter painter(this);
    ScalePainter(painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage& image = FPicture->Image();
    if (FStretch)
        painter.drawImage(ClientRect(), image);
    else if (FCenter)
        painter.drawImage((Width() - image.width()) / 2, (Height() - image.height()) / 2, image);
    else
        painter.drawImage(0, 0, image);
}

TProgressBar::TProgressBar(QWidget* AOwner)
    : TControl(AOwner), FBar(new QProgressBar(this))
{
    FBar->setTextVisible(false);
    Show();
}

void TProgressBar::SetMin(int value)
{
    SetParams(value, FMax);
}

void TProgressBar::SetMax(int value)
{
    SetParams(FMin, value);
}

void TProgressBar::SetParams(int min, int max)
{
    if (max < min)
        throw EInvalidOperation(QStringLiteral("%1 property out of range").arg(QString::fromLatin1(metaObject()->className())));
    FMin = min;
    FMax = max;
    FPosition = std::clamp(FPosition, FMin, FMax);
    Show();
}

void TProgressBar::SetPosition(int value)
{
    FPosition = std::clamp(value, FMin, FMax);
    Show();
}

void TProgressBar::StepIt()
{
    const int next = FPosition + FStep;
    // The bar wraps round to its start when a step passes the end.
    SetPosition(next > FMax ? FMin + (next - FMax) : next);
}

void TProgressBar::Show()
{
    FBar->setRange(FMin, FMax);
    FBar->setValue(FPosition);
    FBar->repaint();
}

void TProgressBar::resizeEvent(QResizeEvent* event)
{
    FBar->setGeometry(QRect(QPoint(0, 0), event->size()));
}

void RegisterStdControls()
{
    TClassRegistry::RegisterClass<TLabel>();
    TClassRegistry::RegisterClass<TImage>();
    TClassRegistry::RegisterClass<TProgressBar>();
}
