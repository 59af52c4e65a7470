#pragma once

#include "KeyLayout.h"
#include "WindowScale.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <exception>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class TForm;
class TTerminationSignals;

// The application object: owns the windows, knows the main window, runs the
// message loop and reports failures that reach it.
class TApplication : public QObject
{
    Q_OBJECT

public:
    // Needs the Qt application object; becomes the process's `Application`.
    TApplication();
    ~TApplication() override;

    // Start-up work that needs the Qt application: fonts the layouts name.
    void Initialize();

    // Creates a window owned by the application and stores it in `reference`
    // before its creation handler runs. The first window created this way
    // becomes the main window. When its layout cannot be read the window is
    // destroyed, `reference` is emptied and the failure goes to the caller.
    template <class T>
    void CreateForm(T*& reference);

    // Shows the main window and processes messages until terminated.
    void Run();
    // Also what SIGTERM and SIGINT do, from the message loop.
    void Terminate();
    bool Terminated() const { return FTerminated; }
    void ProcessMessages();

    TForm* MainForm() const { return FMainForm; }

    // Windows created while set keep their frame and normal size instead of
    // the full screen their layouts ask for.
    bool Windowed() const { return FWindowed; }
    void SetWindowed(bool value) { FWindowed = value; }
    // The player's key layout, applied to every key press of the windows.
    const TKeyLayout& KeyLayout() const { return FKeyLayout; }
    void SetKeyLayout(TKeyLayout value) { FKeyLayout = std::move(value); }

    // The program file's full path. Tests give another, to stand the program
    // in a data tree of their own.
    QString ExeName() const;
    void SetExeName(const QString& value) { FExeName = value; }

    // How the windows show their layouts; set before the first is created.
    const TWindowScale& WindowScale() const { return FWindowScale; }
    void SetWindowScale(const TWindowScale& value) { FWindowScale = value; }

    // Shows a failure to the user (a message box) and returns.
    void HandleException(std::exception_ptr error);
    void ShowException(const QString& message);
    // Replaces the message box, for callers that record failures themselves.
    std::function<void(const QString& message)> OnException;

    // Forms created with the application as owner register themselves.
    void AddForm(TForm* form);
    // Destroys the form once control is back in the message loop that was
    // running when it was released: never inside a nested loop (a message
    // box) opened under the releasing handler or timer tick.
    void ReleaseForm(TForm* form);

    // A termination signal that arrives while held takes effect at the first
    // pass of the message loop after the last resume, so that a sequence of
    // windows (the hand-over) is never cut off half-way.
    void HoldTerminationSignals();
    void ResumeTerminationSignals();

protected:
    bool event(QEvent* event) override;

private:
    void FormDestroyed(QObject* form);
    void WakeForReleasedForms();
    void MainFormCreated(TForm* form);

    TForm* FMainForm = nullptr;
    QString FExeName;
    bool FTerminated = false;
    bool FWindowed = false;
    TKeyLayout FKeyLayout;
    TWindowScale FWindowScale;
    std::vector<TForm*> FForms;
    std::vector<QPointer<TForm>> FReleasedForms;
    QTimer FReleaseWake;
    std::unique_ptr<TTerminationSignals> FTerminationSignals;
};

extern TApplication* Application;

// The text a failure shows to the user.
QString ExceptionMessage(std::exception_ptr error);
// Shows a failure through the application, or on the error stream when no
// application object exists (a window destroyed after it).
void ReportFailure(std::exception_ptr error);

// Runs a handler; a failure it raises is shown by the application and the
// caller goes on. Every entry from the message loop into our code passes here.
template <class F>
void Guarded(F&& handler)
{
    try
    {
        handler();
    }
    catch (...)
    {
        ReportFailure(std::current_exception());
    }
}

template <class T>
void TApplication::CreateForm(T*& reference)
{
    T* const form = new T(this);
    reference = form;
    try
    {
        form->Initialize();
    }
    catch (...)
    {
        // A layout that cannot be read leaves no half-built window behind.
        reference = nullptr;
        delete form;
        throw;
    }
    if (FMainForm == nullptr)
        MainFormCreated(form);
}
