#include "Form.h"

#include "Application.h"
#include "Control.h"
#include "LayoutReader.h"
#include "WindowScale.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace
{
// How long a new window may take to be mapped by the window system before it
// is painted anyway.
constexpr int ExposeTimeoutMs = 1000;
} // namespace

TForm::TForm(QObject* AOwner)
    : QWidget(nullptr), FFont(new TFont(this))
{
    setObjectName(QString::fromLatin1(metaObject()->className()).mid(1));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAutoFillBackground(true);
    connect(FFont, &TFont::Changed, this, [this] { setFont(FFont->ToQFont()); });
    setFont(FFont->ToQFont());
    SetColor(clBtnFace);
    if (auto* application = qobject_cast<TApplication*>(AOwner))
        application->AddForm(this);
}

TForm::~TForm()
{
    MarkDestroying();
    if (FOnDestroy)
        Guarded([this] { FOnDestroy(this); });
}

void TForm::Initialize()
{
    // The class name is that of the most derived class, known only now.
    setObjectName(QString::fromLatin1(metaObject()->className()).mid(1));
    TLayoutReader(this, QStringLiteral(":/layouts/%1.json").arg(objectName())).Read();
    if (Application != nullptr && Application->Windowed())
        UseNormalWindow();
    if (FOnCreate)
        Guarded([this] { FOnCreate(this); });
}

void TForm::Loaded()
{
    TLayoutComponent::Loaded();
    std::vector<QRect> controls;
    for (const TControl* control : findChildren<TControl*>(Qt::FindDirectChildrenOnly))
        controls.push_back({control->Left(), control->Top(), control->Width(), control->Height()});
    FContentExtent = ControlsExtent(controls);
    PlaceContent();
    ApplyGeometry();
}

// Every control shows the layout at the same scale and origin, so that the
// layout stays as stored.
void TForm::PlaceContent()
{
    if (IsLoading())
        return;
    const TWindowScale scale = Application != nullptr ? Application->WindowScale() : TWindowScale();
    const QScreen* const screen = this->screen();
    const QSize screenArea = screen != nullptr ? screen->availableGeometry().size() : size();
    FDisplayScale = WindowDisplayScale(scale, screenArea, size(), FContentExtent);
    // What lay left of or above the corner was never seen; in a centred
    // window it would stand in the margin.
    const QRect content = FDisplayScale.ToScreen(QRect(QPoint(), FContentExtent));
    for (TControl* control : findChildren<TControl*>(Qt::FindDirectChildrenOnly))
    {
        control->SetDisplayScale(FDisplayScale);
        const QRect shown = control->geometry().intersected(content);
        if (shown == control->geometry())
            control->clearMask();
        else
            control->setMask(shown.translated(-control->pos()));
    }
}

void TForm::SetLeft(int value)
{
    FLeft = value;
    ApplyGeometry();
}

void TForm::SetTop(int value)
{
    FTop = value;
    ApplyGeometry();
}

void TForm::SetClientWidth(int value)
{
    FClientWidth = value;
    ApplyGeometry();
}

void TForm::SetClientHeight(int value)
{
    FClientHeight = value;
    ApplyGeometry();
}

void TForm::ApplyGeometry()
{
    if (IsLoading() || FWindowState == wsMaximized)
        return;
    setGeometry(FLeft, FTop, FDisplayScale.ToScreen(FClientWidth), FDisplayScale.ToScreen(FClientHeight));
}

void TForm::SetColor(TColor value)
{
    FColor = value;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ColorToRGB(value));
    setPalette(colours);
}

void TForm::SetBorderStyle(TBorderStyle value)
{
    if (value == FBorderStyle)
        return;
    FBorderStyle = value;
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, value == bsNone);
    // Changing the window flags hides a window; bring it back as it was.
    if (wasVisible)
        Show();
}

void TForm::SetWindowState(TWindowState value)
{
    FWindowState = value;
    if (isVisible())
        ApplyWindowState();
}

void TForm::SetCursor(TCursor value)
{
    FCursor = value;
    setCursor(CursorShape(value));
}

void TForm::SetVisible(bool value)
{
    if (value)
        Show();
    else
        Hide();
}

void TForm::ApplyWindowState()
{
    switch (FWindowState)
    {
    case wsMaximized:
        // Without a window manager (a bare X server) nothing maximises the
        // window, so take the screen's free area ourselves.
        if (const QScreen* screen = QGuiApplication::primaryScreen())
            setGeometry(screen->availableGeometry());
        showMaximized();
        break;
    case wsMinimized:
        showMinimized();
        break;
    case wsNormal:
        ApplyGeometry();
        showNormal();
        break;
    }
}

bool TForm::IsFullScreen() const
{
    return FBorderStyle == bsNone && FWindowState == wsMaximized;
}

void TForm::UseNormalWindow()
{
    // The state first: changing the border shows the window again in it.
    SetWindowState(wsNormal);
    SetBorderStyle(bsSizeable);
}

void TForm::UseFullScreen()
{
    SetWindowState(wsMaximized);
    SetBorderStyle(bsNone);
}

void TForm::ToggleFullScreen()
{
    if (IsFullScreen())
        UseNormalWindow();
    else
        UseFullScreen();
}

void TForm::Show()
{
    ApplyWindowState();
    raise();
    activateWindow();
}

void TForm::Hide()
{
    hide();
}

void TForm::Close()
{
    if (Application != nullptr && Application->MainForm() == this)
        Application->Terminate();
    Hide();
}

void TForm::Release()
{
    if (Application != nullptr)
        Application->ReleaseForm(this);
    else
        deleteLater();
}

void TForm::Repaint()
{
    WaitUntilExposed();
    repaint();
}

// A window shown a moment ago is mapped by the window system asynchronously;
// until then nothing painted reaches the screen.
void TForm::WaitUntilExposed()
{
    const QWindow* window = windowHandle();
    if (window == nullptr || !isVisible())
        return;
    // Wakes the sleeping wait below if the window system never answers.
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.start(ExposeTimeoutMs);
    // Sleeps until there is something to process: the timed processEvents
    // overload would drop WaitForMoreEvents and poll. Input waits for the
    // message loop; releases asked for by the running handler cannot be
    // delivered here (see TApplication::ReleaseForm).
    while (!window->isExposed() && timeout.isActive())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
}

void TForm::CallOnCreate()
{
    if (FOnCreate)
        FOnCreate(this);
}

void TForm::closeEvent(QCloseEvent* event)
{
    event->ignore();
    Guarded([this] { SystemCloseRequested(); });
}

void TForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    PlaceContent();
}

void TForm::keyPressEvent(QKeyEvent* event)
{
    // Before the characters: whatever text a platform attaches to F11, the
    // game never sees it. A held key toggles once.
    if (event->key() == Qt::Key_F11)
    {
        if (!event->isAutoRepeat())
            Guarded([this] { ToggleFullScreen(); });
        return;
    }
    if (!FOnKeyPress || event->text().isEmpty())
    {
        QWidget::keyPressEvent(event);
        return;
    }
    for (const QChar typed : event->text())
    {
        QChar key = Application != nullptr ? Application->KeyLayout().Map(typed) : typed;
        Guarded([this, &key] { FOnKeyPress(this, key); });
    }
}
