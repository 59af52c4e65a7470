#include "HandOver.h"

#include "Application.h"
#include "Form.h"
#include "Loading.h"

void HandOver(TForm& menu, const std::function<TForm*()>& createFight)
{
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
