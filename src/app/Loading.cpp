#include "Loading.h"

TSplashScreen* SplashScreen = nullptr;

TSplashScreen::TSplashScreen(QObject* AOwner)
    : TForm(AOwner)
{
}

void TSplashScreen::FormCreate(QObject*)
{
    ProgressBar1->SetMax(25);
    ProgressBar1->SetMin(1);
    ProgressBar1->SetPosition(1);
}
