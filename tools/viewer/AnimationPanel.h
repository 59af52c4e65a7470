#pragma once

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class TModelView;

// The actor's animations and the controls of their playback: play, pause,
// single steps, speed, loop mode and smooth switching, with the shown frame
// and the range it moves in.
class TAnimationPanel : public QWidget
{
    Q_OBJECT

public:
    TAnimationPanel(TModelView& view, QWidget* parent);

    // Lists the animations of the model now shown.
    void Refresh();
    QString FrameText() const;
    // The play button's text follows the view's state.
    void ShowPlaying();

private:
    void BuildLayout();
    QWidget* BuildButtons();
    QWidget* BuildSettings();
    void ShowFrame();
    int PlayingAnimationRow() const;
    void AnimationChosen(int row);
    void LoopModeChosen(int index);

    TModelView& FView;
    QListWidget* const FAnimations;
    QPushButton* const FPlay;
    QPushButton* const FStepBack;
    QPushButton* const FStepForward;
    QDoubleSpinBox* const FSpeed;
    QComboBox* const FLoopMode;
    QCheckBox* const FSmooth;
    QLabel* const FFrame;
    bool FRefreshing = false;
};
