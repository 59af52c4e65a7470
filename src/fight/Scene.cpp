#include "Scene.h"

#include "Application.h"

TJeu* Jeu = nullptr;

TJeu::TJeu(QObject* AOwner)
    : TForm(AOwner)
{
}

void TJeu::FormCreate(QObject*)
{
    Vie1->SetPosition(Vie1->Max());
    Vie2->SetPosition(Vie2->Max());
    SetBorderStyle(bsNone);
    SetWindowState(wsMaximized);
}

void TJeu::FormKeyPress(QObject*, QChar& Key)
{
    if (Key == QLatin1Char('p'))
        Application->Terminate();
}

void TJeu::GLCadencer1Progress(QObject*, double, double)
{
    GLScene1->NotifyChanged(nullptr);
}

void TJeu::SystemCloseRequested()
{
    Application->Terminate();
}
