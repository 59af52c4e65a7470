#include "Inter.h"

#include "Application.h"
#include "Exceptions.h"
#include "HandOver.h"
#include "Scene.h"
#include "Sound.h"

TMenu_Jeu* Menu_Jeu = nullptr;

int PlayFrame = 1;
int QuitFrame = 1;
int PlayGameFrame = 1;
bool PlayHover = false;
bool QuitHover = false;
bool StartRequested = false;
bool SoundStopped = false;

namespace
{
// The hover loops stop one short of their last file: Play shows frames 1 to
// 25, Quit 1 to 11.
constexpr int PlayHoverLast = 26;
constexpr int QuitHoverLast = 12;
constexpr int StartSequenceLast = 26;
// Marks the start sequence as played, so that the hand-over runs once.
constexpr int HandedOver = 99;

QString FramePath(const QString& folder, const int frame)
{
    return QStringLiteral("../Anime/%1/%1%2.3ds").arg(folder).arg(frame);
}
} // namespace

TMenu_Jeu::TMenu_Jeu(QObject* AOwner)
    : TForm(AOwner)
{
}

void TMenu_Jeu::FormCreate(QObject*)
{
    Play1->LoadFromFile(FramePath(QStringLiteral("Play"), 1));
    Option1->LoadFromFile(QStringLiteral("Option1.3ds"));
    Quit1->LoadFromFile(FramePath(QStringLiteral("Quit"), 1));
    Rage->LoadFromFile(QStringLiteral("Stick.3ds"));
    PlaySoundW(u"../Sons/star.wav", HInstance, SND_ASYNC | SND_NOSTOP);
}

// Every object of the menu's scene has a material; anything else under the
// pointer is a programming error.
TGLCustomSceneObject* TMenu_Jeu::PickedObject(const int x, const int y) const
{
    TGLBaseSceneObject* const picked = GLSceneViewer1->Buffer()->PickObjectAt(x, y);
    if (picked == nullptr)
        return nullptr;
    auto* const object = dynamic_cast<TGLCustomSceneObject*>(picked);
    if (object == nullptr)
        throw EInvalidCast(QStringLiteral("Invalid class typecast"));
    return object;
}

void TMenu_Jeu::GLSceneViewer1MouseMove(QObject*, TShiftState, const int X, const int Y)
{
    TGLCustomSceneObject* const picked = PickedObject(X, Y);
    if (picked == LastPicked)
        return;
    // A button the pointer leaves keeps the frame it had reached.
    if (LastPicked != nullptr)
    {
        PlayHover = false;
        QuitHover = false;
    }
    if (picked == Play1)
        PlayHover = true;
    else if (picked == Quit1)
        QuitHover = true;
    LastPicked = picked;
}

void TMenu_Jeu::GLSceneViewer1MouseDown(QObject*, TMouseButton, TShiftState, const int X, const int Y)
{
    TGLCustomSceneObject* const picked = PickedObject(X, Y);
    if (picked == Play1)
    {
        StartRequested = true;
    }
    else if (picked == Quit1)
    {
        // The window waits for the farewell before it goes.
        PlaySoundW(u"../Sons/comeon.wav", HInstance, SND_SYNC);
        Close();
    }
}

void TMenu_Jeu::AsyncTimer1Timer(QObject*)
{
    if (PlayHover)
        StepPlayHover();
    if (QuitHover)
        StepQuitHover();
    if (StartRequested)
        StepStartSequence();
}

// A frame file that opens but cannot be read has emptied the button by the
// time it fails; the button shows its previous frame again, so that it stays
// where the pointer picks it (Quit must still end the program), and the
// failure goes on to stop the animation.
void TMenu_Jeu::LoadFrame(TGLFreeForm& button, const QString& fileName)
{
    const QString shown = button.LastLoadedFilename();
    try
    {
        button.LoadFromFile(fileName);
    }
    catch (...)
    {
        if (!shown.isEmpty())
            button.LoadFromFile(shown);
        throw;
    }
}

void TMenu_Jeu::StepPlayHover()
{
    if (PlayFrame <= PlayHoverLast)
    {
        LoadFrame(*Play1, FramePath(QStringLiteral("Play"), PlayFrame));
        ++PlayFrame;
    }
    if (PlayFrame == PlayHoverLast)
        PlayFrame = 1;
}

void TMenu_Jeu::StepQuitHover()
{
    if (QuitFrame <= QuitHoverLast)
    {
        LoadFrame(*Quit1, FramePath(QStringLiteral("Quit"), QuitFrame));
        ++QuitFrame;
    }
    if (QuitFrame == QuitHoverLast)
        QuitFrame = 1;
}

void TMenu_Jeu::StepStartSequence()
{
    if (PlayGameFrame > StartSequenceLast)
        return;
    if (!SoundStopped)
    {
        PlaySoundW(nullptr, HInstance, SND_ASYNC);
        SoundStopped = true;
    }
    LoadFrame(*Play1, FramePath(QStringLiteral("Play_game"), PlayGameFrame));
    ++PlayGameFrame;
    // Requested every tick: the cry starts again as soon as it has ended.
    PlaySoundW(u"../Sons/wow.wav", HInstance, SND_ASYNC | SND_NOSTOP);
    if (PlayGameFrame == StartSequenceLast + 1)
    {
        PlayGameFrame = HandedOver;
        HandOver(*this, [] {
            Application->CreateForm(Jeu);
            return Jeu;
        });
    }
}
