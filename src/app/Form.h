#pragma once

#include "Component.h"
#include "DisplayScale.h"
#include "ControlTypes.h"
#include "Events.h"
#include "Graphics.h"

#include <QString>
#include <QWidget>

// A top-level window built from its stored layout. Subclasses are the game's
// windows; their layout is ":/layouts/<class name without the T>.json".
class TForm : public QWidget, public TLayoutComponent
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TFont* Font READ Font)
    Q_PROPERTY(ControlTypes::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(ControlTypes::TWindowState WindowState READ WindowState WRITE SetWindowState)
    Q_PROPERTY(ControlTypes::TPosition Position READ Position WRITE SetPosition)
    Q_PROPERTY(ControlTypes::TCursor Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(TNotifyEvent OnCreate READ OnCreate WRITE SetOnCreate)
    Q_PROPERTY(TNotifyEvent OnDestroy READ OnDestroy WRITE SetOnDestroy)
    Q_PROPERTY(TKeyPressEvent OnKeyPress READ OnKeyPress WRITE SetOnKeyPress)

public:
    // `AOwner` is the application (which then owns the window) or nothing.
    explicit TForm(QObject* AOwner);
    ~TForm() override;

    // Reads the layout, then runs the creation handler. A failure of the
    // handler is shown and skips the rest of it; the window is still created.
    void Initialize();

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& value) { setWindowTitle(value); }
    int Left() const { return FLeft; }
    void SetLeft(int value);
    int Top() const { return FTop; }
    void SetTop(int value);
    int ClientWidth() const { return FClientWidth; }
    void SetClientWidth(int value);
    int ClientHeight() const { return FClientHeight; }
    void SetClientHeight(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TFont* Font() const { return FFont; }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState value);
    TPosition Position() const { return FPosition; }
    void SetPosition(TPosition value) { FPosition = value; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    bool Visible() const { return isVisible(); }
    void SetVisible(bool value);

    TNotifyEvent OnCreate() const { return FOnCreate; }
    void SetOnCreate(const TNotifyEvent& value) { FOnCreate = value; }
    TNotifyEvent OnDestroy() const { return FOnDestroy; }
    void SetOnDestroy(const TNotifyEvent& value) { FOnDestroy = value; }
    TKeyPressEvent OnKeyPress() const { return FOnKeyPress; }
    void SetOnKeyPress(const TKeyPressEvent& value) { FOnKeyPress = value; }

    void Show();
    void Hide();
    // Hides the window; closing the main window terminates the application.
    void Close();
    // Destroys the window at the next pass of the message loop, once the
    // running handler has returned.
    void Release();
    // Paints the window now, without waiting for the message loop.
    void Repaint();
    // Full screen is the borderless maximised window; F11 switches between it
    // and a normal window with a frame, in every window.
    bool IsFullScreen() const;
    void ToggleFullScreen();

    // Runs the creation handler again; a failure propagates to the caller.
    void CallOnCreate();

    void Loaded() override;

protected:
    // A close request from the window system.
    virtual void SystemCloseRequested() { Close(); }

    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UseNormalWindow();
    void UseFullScreen();
    void ApplyWindowState();
    void ApplyGeometry();
    void WaitUntilExposed();
    void PlaceContent();

    TFont* const FFont;
    int FLeft = 0;
    int FTop = 0;
    int FClientWidth = 0;
    int FClientHeight = 0;
    TColor FColor = clBtnFace;
    TBorderStyle FBorderStyle = bsSizeable;
    TWindowState FWindowState = wsNormal;
    TPosition FPosition = poDesigned;
    TCursor FCursor = crDefault;
    // The controls' extent from the corner, as loaded, and how they show it.
    QSize FContentExtent;
    TDisplayScale FDisplayScale;
    TNotifyEvent FOnCreate;
    TNotifyEvent FOnDestroy;
    TKeyPressEvent FOnKeyPress;
};
