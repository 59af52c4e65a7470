#include "AnimationPanel.h"

#include "GLActor.h"
#include "ModelView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <iterator>

namespace
{
struct TLoopChoice
{
    const char* Label;
    TActorAnimationMode Mode;
};

const TLoopChoice LoopChoices[] = {
    {"Loop", aamLoop},
    {"Play once", aamPlayOnce},
    {"Bounce", aamBounceForward},
    {"Loop backward", aamLoopBackward},
};
} // namespace

TAnimationPanel::TAnimationPanel(TModelView& view, QWidget* parent)
    : QWidget(parent), FView(view), FAnimations(new QListWidget(this)), FPlay(new QPushButton(this)),
      FStepBack(new QPushButton(QStringLiteral("\u25C0|"), this)),
      FStepForward(new QPushButton(QStringLiteral("|\u25B6"), this)), FSpeed(new QDoubleSpinBox(this)),
      FLoopMode(new QComboBox(this)), FSmooth(new QCheckBox(QStringLiteral("Smooth switch"), this)),
      FFrame(new QLabel(this))
{
    BuildLayout();
    connect(FAnimations, &QListWidget::currentRowChanged, this, &TAnimationPanel::AnimationChosen);
    connect(FPlay, &QPushButton::clicked, this,
            [this]
            {
                FView.SetPlaying(!FView.Playing());
                ShowPlaying();
            });
    connect(FStepBack, &QPushButton::clicked, this,
            [this]
            {
                FView.StepFrame(-1);
                ShowPlaying();
            });
    connect(FStepForward, &QPushButton::clicked, this,
            [this]
            {
                FView.StepFrame(1);
                ShowPlaying();
            });
    connect(FSpeed, &QDoubleSpinBox::valueChanged, this, [this](const double value) { FView.SetSpeed(value); });
    connect(FLoopMode, &QComboBox::currentIndexChanged, this, &TAnimationPanel::LoopModeChosen);
    connect(&FView, &TModelView::FrameChanged, this, &TAnimationPanel::ShowFrame);
    ShowPlaying();
    ShowFrame();
}

void TAnimationPanel::BuildLayout()
{
    auto* const layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Animations"), this));
    FAnimations->setMinimumHeight(120);
    layout->addWidget(FAnimations, 1);
    layout->addWidget(BuildButtons());
    layout->addWidget(BuildSettings());
    layout->addWidget(FFrame);
}

QWidget* TAnimationPanel::BuildButtons()
{
    auto* const buttons = new QWidget(this);
    auto* const row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    FStepBack->setToolTip(QStringLiteral("Previous frame"));
    FStepForward->setToolTip(QStringLiteral("Next frame"));
    row->addWidget(FStepBack);
    row->addWidget(FPlay, 1);
    row->addWidget(FStepForward);
    return buttons;
}

QWidget* TAnimationPanel::BuildSettings()
{
    auto* const settings = new QWidget(this);
    auto* const form = new QFormLayout(settings);
    form->setContentsMargins(0, 0, 0, 0);
    FSpeed->setRange(0.05, 8);
    FSpeed->setSingleStep(0.25);
    FSpeed->setValue(1);
    FSpeed->setSuffix(QStringLiteral(" \u00D7"));
    form->addRow(QStringLiteral("Speed"), FSpeed);
    for (const TLoopChoice& choice : LoopChoices)
        FLoopMode->addItem(QString::fromLatin1(choice.Label));
    form->addRow(QStringLiteral("Mode"), FLoopMode);
    FSmooth->setChecked(true);
    FSmooth->setToolTip(QStringLiteral("Blend into the chosen animation at the next whole frame"));
    form->addRow(FSmooth);
    return settings;
}

void TAnimationPanel::Refresh()
{
    const QSignalBlocker quiet(FAnimations);
    FAnimations->clear();
    const TGLActor* const actor = FView.Actor();
    if (actor != nullptr)
        for (int i = 0; i < actor->Animations()->Count(); ++i)
        {
            const TActorAnimation& animation = (*actor->Animations())[i];
            FAnimations->addItem(QStringLiteral("%1  [%2\u2013%3]")
                                     .arg(animation.Name())
                                     .arg(animation.StartFrame())
                                     .arg(animation.EndFrame()));
        }
    ShowFrame();
}

// The actor keeps a range, not an animation: the first animation of that
// range is the one playing.
int TAnimationPanel::PlayingAnimationRow() const
{
    const TGLActor* const actor = FView.Actor();
    if (actor == nullptr)
        return -1;
    for (int i = 0; i < actor->Animations()->Count(); ++i)
    {
        const TActorAnimation& animation = (*actor->Animations())[i];
        if (animation.StartFrame() == actor->StartFrame() && animation.EndFrame() == actor->EndFrame())
            return i;
    }
    return -1;
}

void TAnimationPanel::AnimationChosen(const int row)
{
    FView.SwitchAnimation(row, FSmooth->isChecked());
}

void TAnimationPanel::LoopModeChosen(const int index)
{
    if (index >= 0 && index < static_cast<int>(std::size(LoopChoices)))
        FView.SetLoopMode(LoopChoices[index].Mode);
}

void TAnimationPanel::ShowPlaying()
{
    FPlay->setText(FView.Playing() ? QStringLiteral("Pause") : QStringLiteral("Play"));
}

QString TAnimationPanel::FrameText() const
{
    return FFrame->text();
}

void TAnimationPanel::ShowFrame()
{
    ShowPlaying();
    if (const int row = PlayingAnimationRow(); row != FAnimations->currentRow())
    {
        const QSignalBlocker quiet(FAnimations);
        FAnimations->setCurrentRow(row);
    }
    const TGLActor* const actor = FView.Actor();
    const bool animated = actor != nullptr && actor->FrameTotal() > 1;
    for (QWidget* const control : std::initializer_list<QWidget*>{FPlay, FStepBack, FStepForward})
        control->setEnabled(animated);
    if (actor == nullptr || actor->FrameTotal() < 1)
    {
        FFrame->setText(QStringLiteral("No frames"));
        return;
    }
    FFrame->setText(QStringLiteral("Frame %1 of range %2\u2013%3 (%4 frames in all)")
                        .arg(actor->CurrentFrame())
                        .arg(actor->StartFrame())
                        .arg(actor->EndFrame())
                        .arg(actor->FrameTotal()));
}
