#include "HandOver.h"

#include "Application.h"
#include "Form.h"
#include "Loading.h"

namespace
{
// Holds termination signals for the hand-over's length, also when it fails.
class TTerminationHold
{
public:
    TTerminationHold() { Application->HoldTerminationSignals(); }
    ~TTerminationHold() { Application->ResumeTerminationSignals(); }
    TTerminationHold(const TTerminationHold&) = delete;
    TTerminationHold& operator=(const TTerminationHold&) = delete;
};
} // namespace

void HandOver(TForm& menu, const std::function<TForm*()>& createFight)
{
    const TTerminationHold hold;
    menu.Hide();
    // A mesh the menu could not read at start fails here again: shown like
    // any creation handler's failure, it must not stop the hand-over, or the
    // program would go on with no window on screen.
    Guarded([&menu] { menu.CallOnCreate(); });
    SplashScreen = new TSplashScreen(Application);
    SplashScreen->Initialize();
    SplashScreen->Show();
    SplashScreen->Repaint();
    menu.Release();
    TForm* const fight = createFight();
    fight->Show();
    SplashScreen->Close();
    SplashScreen->Release();
}
