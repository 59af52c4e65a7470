#include "Application.h"

#include "Exceptions.h"
#include "Form.h"
#include "TerminationSignals.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QMessageBox>

#include <algorithm>

TApplication* Application = nullptr;

namespace
{
const QEvent::Type WakeEventType = static_cast<QEvent::Type>(QEvent::registerEventType());

// How often the loop is woken while a released window waits for destruction.
constexpr int ReleaseWakeMs = 10;

// Debian ships a metric-compatible face for the layouts' Tahoma that fontconfig
// does not index.
const char* const TahomaFile = "/usr/share/wine/fonts/tahoma.ttf";
} // namespace

TApplication::TApplication()
    : FTerminationSignals(std::make_unique<TTerminationSignals>([this] { Terminate(); }))
{
    Application = this;
    QApplication::setQuitOnLastWindowClosed(false);
    FReleaseWake.setInterval(ReleaseWakeMs);
    connect(&FReleaseWake, &QTimer::timeout, this, &TApplication::WakeForReleasedForms);
}

TApplication::~TApplication()
{
    // Forms go in reverse order of creation, as their owner releases them.
    while (!FForms.empty())
    {
        TForm* const form = FForms.back();
        FForms.pop_back();
        disconnect(form, nullptr, this, nullptr);
        delete form;
    }
    if (Application == this)
        Application = nullptr;
}

void TApplication::Initialize()
{
    QFontDatabase::addApplicationFont(QString::fromLatin1(TahomaFile));
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
}

QString TApplication::ExeName() const
{
    return FExeName.isEmpty() ? QCoreApplication::applicationFilePath() : FExeName;
}

void TApplication::Run()
{
    if (FTerminated)
        return;
    if (FMainForm != nullptr)
        Guarded([this] { FMainForm->Show(); });
    if (!FTerminated)
        QApplication::exec();
}

void TApplication::Terminate()
{
    FTerminated = true;
    QCoreApplication::quit();
    // A message box shown before the message loop started (a model the first
    // window could not read) runs a loop of its own that quit() leaves alone.
    if (QWidget* const box = QApplication::activeModalWidget())
        box->close();
}

void TApplication::ReleaseForm(TForm* form)
{
    // Qt's deferred deletion already waits for the loop that was running when
    // it was asked for.
    form->deleteLater();
    FReleasedForms.emplace_back(form);
    FReleaseWake.start();
}

// A deferred deletion refused inside a nested loop is kept, but the outer loop
// looks at it again only when another event is posted; until the window is
// gone, post one now and then.
void TApplication::WakeForReleasedForms()
{
    FReleasedForms.erase(std::remove(FReleasedForms.begin(), FReleasedForms.end(), nullptr), FReleasedForms.end());
    if (FReleasedForms.empty())
        FReleaseWake.stop();
    else
        QCoreApplication::postEvent(this, new QEvent(WakeEventType));
}

bool TApplication::event(QEvent* event)
{
    if (event->type() == WakeEventType)
        return true;
    return QObject::event(event);
}

void TApplication::HoldTerminationSignals()
{
    FTerminationSignals->Hold();
}

void TApplication::ResumeTerminationSignals()
{
    FTerminationSignals->Resume();
}

void TApplication::ProcessMessages()
{
    QCoreApplication::processEvents();
}

void TApplication::HandleException(std::exception_ptr error)
{
    ShowException(ExceptionMessage(error));
}

void TApplication::ShowException(const QString& message)
{
    if (OnException)
    {
        OnException(message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("stickfight"), message, QMessageBox::Ok);
    box.exec();
}

void TApplication::AddForm(TForm* form)
{
    FForms.push_back(form);
    connect(form, &QObject::destroyed, this, &TApplication::FormDestroyed);
}

void TApplication::FormDestroyed(QObject* form)
{
    FForms.erase(std::remove(FForms.begin(), FForms.end(), form), FForms.end());
    // The main window is not handed on: once it is gone the program ends only
    // when told to terminate.
    if (form == FMainForm)
        FMainForm = nullptr;
}

void TApplication::MainFormCreated(TForm* form)
{
    FMainForm = form;
}

void ReportFailure(std::exception_ptr error)
{
    if (Application != nullptr)
        Application->HandleException(error);
    else
        qWarning("%s", qPrintable(ExceptionMessage(error)));
}

QString ExceptionMessage(std::exception_ptr error)
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
    catch (...)
    {
        return QStringLiteral("Unknown failure");
    }
}
