#pragma once

#include "Form.h"

// The start menu: the first and main window of the program.
class TMenu_Jeu : public TForm
{
    Q_OBJECT

public:
    explicit TMenu_Jeu(QObject* AOwner);

    Q_INVOKABLE void FormCreate(QObject* Sender);
};

extern TMenu_Jeu* Menu_Jeu;
