#include "ViewerWindow.h"

#include "AnimationPanel.h"
#include "Exceptions.h"
#include "GLActor.h"
#include "GLSceneViewer.h"
#include "ModelView.h"
#include "VectorFile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

namespace
{
constexpr int MaxRecentFiles = 8;
const QString RecentKey = QStringLiteral("recentFiles");
const QString ModelFilter =
    QStringLiteral("Models (*.3ds *.3DS *.smd *.SMD *.md2 *.MD2 *.glsm);;All files (*)");

// Keeps the engine's control filling its host: the control's bounds are its
// own, not the layout's.
class TViewHost : public QWidget
{
public:
    explicit TViewHost(QWidget* parent) : QWidget(parent), FViewer(new TGLSceneViewer(this)) {}

    TGLSceneViewer* Viewer() const { return FViewer; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        FViewer->SetBounds(0, 0, width(), height());
    }

private:
    TGLSceneViewer* const FViewer;
};

QStringList LocalFiles(const QMimeData* data)
{
    QStringList files;
    if (data != nullptr)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                files.append(url.toLocalFile());
    return files;
}

QString ExceptionText(const std::exception_ptr& error)
{
    try
    {
        std::rethrow_exception(error);
    }
    catch (const Exception& failure)
    {
        return failure.Message();
    }
    catch (const std::exception& failure)
    {
        return QString::fromUtf8(failure.what());
    }
}
} // namespace

bool IsSMDAnimationFile(const QString& file)
{
    if (ExtractFileExtension(file).toLower() != QLatin1String("smd"))
        return false;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        return false;
    while (!input.atEnd())
        if (input.readLine().trimmed() == "triangles")
            return false;
    return true;
}

TViewerWindow::TViewerWindow(const QSize fixedViewSize)
{
    setWindowTitle(QStringLiteral("stickfight-view"));
    setAcceptDrops(true);
    auto* const splitter = new QSplitter(this);
    splitter->addWidget(BuildViewHost(fixedViewSize));
    FView = std::make_unique<TModelView>(FViewer);
    splitter->addWidget(BuildSidePanel());
    splitter->setStretchFactor(0, 1);
    splitter->setCollapsible(0, false);
    setCentralWidget(splitter);
    BuildMessageArea();
    BuildMenus();
    FillRecentMenu();
    ModelChanged();
    connect(FView.get(), &TModelView::Failed, this,
            [this](const QString& message) { ShowError(FView->ModelFile(), message); });
    // Mouse, wheel and drops reach the view's native window, not its widget.
    FViewer->RenderWindow()->installEventFilter(this);
    resize(1200, 800);
    statusBar()->showMessage(QStringLiteral("Open a model: File > Open, or drop files here"));
}

TViewerWindow::~TViewerWindow()
{
    FViewer->RenderWindow()->removeEventFilter(this);
    // The view's scene goes while the control that draws it is still there.
    FView.reset();
}

QWidget* TViewerWindow::BuildViewHost(const QSize fixedViewSize)
{
    auto* const host = new TViewHost(this);
    FViewer = host->Viewer();
    if (fixedViewSize.isValid())
        host->setFixedSize(fixedViewSize);
    else
    {
        host->setMinimumSize(320, 240);
        host->resize(800, 600);
    }
    return host;
}

QWidget* TViewerWindow::BuildSidePanel()
{
    auto* const panel = new QWidget(this);
    auto* const layout = new QVBoxLayout(panel);
    FAnimations = new TAnimationPanel(*FView, panel);
    layout->addWidget(FAnimations, 1);
    layout->addWidget(new QLabel(QStringLiteral("Statistics"), panel));
    FStatistics = new QPlainTextEdit(panel);
    FStatistics->setReadOnly(true);
    FStatistics->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(FStatistics, 2);
    panel->setMinimumWidth(280);
    return panel;
}

void TViewerWindow::BuildMessageArea()
{
    auto* const dock = new QDockWidget(QStringLiteral("Messages"), this);
    dock->setObjectName(QStringLiteral("Messages"));
    dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    FMessages = new QPlainTextEdit(dock);
    FMessages->setReadOnly(true);
    FMessages->setMaximumBlockCount(500);
    FMessages->setFixedHeight(90);
    dock->setWidget(FMessages);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
}

void TViewerWindow::BuildMenus()
{
    QMenu* const file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Open..."), QKeySequence::Open, this, &TViewerWindow::ChooseModel);
    FAddAnimation = file->addAction(QStringLiteral("&Add animation..."), QKeySequence(QStringLiteral("Ctrl+A")),
                                    this, &TViewerWindow::ChooseAnimations);
    FRecent = file->addMenu(QStringLiteral("&Recent"));
    file->addAction(QStringLiteral("&Save screenshot..."), QKeySequence(QStringLiteral("Ctrl+S")), this,
                    &TViewerWindow::SaveScreenshot);
    file->addSeparator();
    file->addAction(QStringLiteral("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* const view = menuBar()->addMenu(QStringLiteral("&View"));
    FSkeleton = AddToggle(view, QStringLiteral("&Skeleton"), QStringLiteral("K"), &TModelView::SetSkeleton);
    FNormals = AddToggle(view, QStringLiteral("&Normals"), QStringLiteral("N"), &TModelView::SetNormals);
    FWireframe = AddToggle(view, QStringLiteral("&Wireframe"), QStringLiteral("W"), &TModelView::SetWireframe);
    FBoundingBox = AddToggle(view, QStringLiteral("&Bounding box"), QStringLiteral("B"), &TModelView::SetBoundingBox);
    view->addSeparator();
    view->addAction(QStringLiteral("&Frame model"), QKeySequence(QStringLiteral("F")), this,
                    [this] { FView->FrameModel(); });
    QMenu* const animation = menuBar()->addMenu(QStringLiteral("&Animation"));
    animation->addAction(QStringLiteral("&Play / pause"), QKeySequence(QStringLiteral("Space")), this,
                         [this]
                         {
                             FView->SetPlaying(!FView->Playing());
                             FAnimations->ShowPlaying();
                         });
    animation->addAction(QStringLiteral("&Next frame"), QKeySequence(QStringLiteral("Right")), this,
                         [this] { FView->StepFrame(1); });
    animation->addAction(QStringLiteral("P&revious frame"), QKeySequence(QStringLiteral("Left")), this,
                         [this] { FView->StepFrame(-1); });
}

QAction* TViewerWindow::AddToggle(QMenu* menu, const QString& text, const QString& shortcut,
                                  void (TModelView::*set)(bool))
{
    QAction* const action = menu->addAction(text);
    action->setCheckable(true);
    action->setShortcut(QKeySequence(shortcut));
    connect(action, &QAction::toggled, this, [this, set](const bool on) { ((*FView).*set)(on); });
    // The side panel shows the same switches as check boxes.
    auto* const box = new QCheckBox(QString(text).remove(QLatin1Char('&')), FAnimations->parentWidget());
    connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    connect(box, &QCheckBox::toggled, action, &QAction::setChecked);
    auto* const layout = static_cast<QVBoxLayout*>(FAnimations->parentWidget()->layout());
    layout->insertWidget(layout->count() - 2, box);
    return action;
}

bool TViewerWindow::OpenFiles(const QStringList& files)
{
    bool allRead = true;
    QStringList animations;
    for (const QString& file : files)
        if (IsSMDAnimationFile(file))
            animations.append(file);
        else
            allRead = OpenModel(file) && allRead;
    for (const QString& file : animations)
        allRead = AddAnimation(file) && allRead;
    return allRead;
}

bool TViewerWindow::OpenModel(const QString& file)
{
    try
    {
        FView->LoadModel(file);
    }
    catch (...)
    {
        ShowError(file, ExceptionText(std::current_exception()));
        return false;
    }
    RememberFile(file);
    ModelChanged();
    ShowMessage(QStringLiteral("Opened %1 in %2 ms").arg(file).arg(FView->Statistics().LoadMilliseconds, 0, 'f', 1));
    return true;
}

bool TViewerWindow::AddAnimation(const QString& file)
{
    try
    {
        FView->AddAnimation(file);
    }
    catch (...)
    {
        ShowError(file, ExceptionText(std::current_exception()));
        return false;
    }
    // The animation just added is the one to look at.
    const int added = FView->Actor()->Animations()->Count() - 1;
    FView->SwitchAnimation(added, false);
    ModelChanged();
    ShowMessage(QStringLiteral("Added animation %1").arg(file));
    return true;
}

void TViewerWindow::ModelChanged()
{
    FAnimations->Refresh();
    FStatistics->setPlainText(FView->HasModel() ? FView->Statistics().Text() : QString());
    FAddAnimation->setEnabled(FView->AcceptsAnimations());
    if (FView->HasModel())
        setWindowTitle(QStringLiteral("%1 - stickfight-view").arg(QFileInfo(FView->ModelFile()).fileName()));
}

// The readers' messages name the file, the line or chunk and the reason;
// others get the file's name put in front.
void TViewerWindow::ShowError(const QString& file, const QString& reason)
{
    FLastError = reason.contains(file) || reason.contains(QFileInfo(file).fileName())
                     ? reason
                     : QStringLiteral("%1: %2").arg(file, reason);
    ShowProblem(FLastError);
}

void TViewerWindow::ShowProblem(const QString& text)
{
    FLastError = text;
    ShowMessage(QStringLiteral("Error: %1").arg(text));
}

void TViewerWindow::ShowMessage(const QString& text)
{
    FMessages->appendPlainText(text);
    statusBar()->showMessage(text);
}

QString TViewerWindow::Messages() const
{
    return FMessages->toPlainText();
}

QString TViewerWindow::StatisticsText() const
{
    return FStatistics->toPlainText();
}

void TViewerWindow::ChooseModel()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Open model"), QString(), ModelFilter);
    if (!file.isEmpty())
        OpenModel(file);
}

void TViewerWindow::ChooseAnimations()
{
    const QStringList files = QFileDialog::getOpenFileNames(
        this, QStringLiteral("Add SMD animations"), QFileInfo(FView->ModelFile()).path(),
        QStringLiteral("SMD animations (*.smd *.SMD)"));
    for (const QString& file : files)
        AddAnimation(file);
}

void TViewerWindow::SaveScreenshot()
{
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Save screenshot"), QString(),
                                                      QStringLiteral("PNG pictures (*.png)"));
    if (file.isEmpty())
        return;
    try
    {
        if (FView->GrabView().save(file, "PNG"))
            ShowMessage(QStringLiteral("Saved %1").arg(file));
        else
            ShowError(file, QStringLiteral("the picture could not be written"));
    }
    catch (...)
    {
        ShowError(file, ExceptionText(std::current_exception()));
    }
}

QStringList TViewerWindow::RecentFiles() const
{
    return QSettings().value(RecentKey).toStringList();
}

void TViewerWindow::RememberFile(const QString& file)
{
    QStringList recent = RecentFiles();
    const QString path = QFileInfo(file).absoluteFilePath();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > MaxRecentFiles)
        recent.removeLast();
    QSettings().setValue(RecentKey, recent);
    FillRecentMenu();
}

void TViewerWindow::FillRecentMenu()
{
    FRecent->clear();
    const QStringList recent = RecentFiles();
    for (const QString& file : recent)
        FRecent->addAction(file, this, [this, file] { OpenModel(file); });
    FRecent->setEnabled(!recent.isEmpty());
}

bool TViewerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FViewer->RenderWindow() && (HandleMouse(event) || HandleDrop(event)))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// Left drag orbits round the model's centre, right or middle drag pans, the
// wheel zooms.
bool TViewerWindow::HandleMouse(QEvent* event)
{
    switch (event->type())
    {
    case QEvent::MouseButtonPress:
    {
        const auto* const mouse = static_cast<QMouseEvent*>(event);
        FLastMouse = mouse->position().toPoint();
        FDragButtons = mouse->buttons();
        return true;
    }
    case QEvent::MouseMove:
    {
        const auto* const mouse = static_cast<QMouseEvent*>(event);
        const QPoint delta = mouse->position().toPoint() - FLastMouse;
        FLastMouse = mouse->position().toPoint();
        if (mouse->buttons() & Qt::LeftButton)
            FView->Orbit(delta.x(), delta.y());
        else if (mouse->buttons() & (Qt::RightButton | Qt::MiddleButton))
            FView->Pan(delta.x(), delta.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        FDragButtons = static_cast<QMouseEvent*>(event)->buttons();
        return true;
    case QEvent::Wheel:
        FView->Zoom(static_cast<float>(static_cast<QWheelEvent*>(event)->angleDelta().y()) / 120);
        return true;
    default:
        return false;
    }
}

bool TViewerWindow::HandleDrop(QEvent* event)
{
    switch (event->type())
    {
    case QEvent::DragEnter:
        dragEnterEvent(static_cast<QDragEnterEvent*>(event));
        return true;
    case QEvent::DragMove:
        static_cast<QDragMoveEvent*>(event)->acceptProposedAction();
        return true;
    case QEvent::Drop:
        dropEvent(static_cast<QDropEvent*>(event));
        return true;
    default:
        return false;
    }
}

void TViewerWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TViewerWindow::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    OpenFiles(files);
}
