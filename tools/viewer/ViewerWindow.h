#pragma once

#include <QMainWindow>
#include <QSize>
#include <QStringList>

#include <memory>

class QAction;
class QMenu;
class QPlainTextEdit;
class TAnimationPanel;
class TGLSceneViewer;
class TModelView;

// The model viewer's main window: the view, the side panel of overlays,
// animations and statistics, and the messages of the readers.
class TViewerWindow : public QMainWindow
{
    Q_OBJECT

public:
    // A fixed view size keeps scripted pictures the same on every screen;
    // an empty one lets the view follow the window.
    explicit TViewerWindow(QSize fixedViewSize = {});
    ~TViewerWindow() override;

    // The first file that is not an SMD animation becomes the model; the
    // SMD animations are added to it. False when a file could not be read:
    // its error is shown and the rest is still opened.
    bool OpenFiles(const QStringList& files);
    bool OpenModel(const QString& file);
    bool AddAnimation(const QString& file);
    // Shown in the message area as an error.
    void ShowProblem(const QString& text);

    TModelView& View() const { return *FView; }
    TAnimationPanel& Animations() const { return *FAnimations; }
    TGLSceneViewer& Viewer() const { return *FViewer; }
    QAction* SkeletonAction() const { return FSkeleton; }
    QAction* NormalsAction() const { return FNormals; }
    QAction* WireframeAction() const { return FWireframe; }
    QAction* BoundingBoxAction() const { return FBoundingBox; }
    // Every message shown so far, one a line, and the last error alone.
    QString Messages() const;
    QString LastError() const { return FLastError; }
    QString StatisticsText() const;
    QStringList RecentFiles() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    QAction* AddToggle(QMenu* menu, const QString& text, const QString& shortcut, void (TModelView::*set)(bool));
    QWidget* BuildSidePanel();
    QWidget* BuildViewHost(QSize fixedViewSize);
    void BuildMessageArea();
    void ChooseModel();
    void ChooseAnimations();
    void SaveScreenshot();
    void RememberFile(const QString& file);
    void FillRecentMenu();
    void ModelChanged();
    void ShowError(const QString& file, const QString& reason);
    void ShowMessage(const QString& text);
    bool HandleMouse(QEvent* event);
    bool HandleDrop(QEvent* event);

    TGLSceneViewer* FViewer = nullptr;
    std::unique_ptr<TModelView> FView;
    TAnimationPanel* FAnimations = nullptr;
    QPlainTextEdit* FStatistics = nullptr;
    QPlainTextEdit* FMessages = nullptr;
    QMenu* FRecent = nullptr;
    QAction* FAddAnimation = nullptr;
    QAction* FSkeleton = nullptr;
    QAction* FNormals = nullptr;
    QAction* FWireframe = nullptr;
    QAction* FBoundingBox = nullptr;
    QString FLastError;
    QPoint FLastMouse;
    Qt::MouseButtons FDragButtons;
};

// Whether the file is an SMD file without triangles: an animation to add to
// a model rather than a model of its own.
bool IsSMDAnimationFile(const QString& file);
