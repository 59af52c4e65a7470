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
    menu.CallOnCreate();
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
