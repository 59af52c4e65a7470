#include "Inter.h"

#include "Sound.h"

TMenu_Jeu* Menu_Jeu = nullptr;

TMenu_Jeu::TMenu_Jeu(QObject* AOwner)
    : TForm(AOwner)
{
}

void TMenu_Jeu::FormCreate(QObject*)
{
    PlaySoundW(u"../Sons/star.wav", HInstance, SND_ASYNC | SND_NOSTOP);
}
