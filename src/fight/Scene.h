#pragma once

#include "Form.h"

// The fight window.
class TJeu : public TForm
{
    Q_OBJECT

public:
    explicit TJeu(QObject* AOwner);

    Q_INVOKABLE void FormCreate(QObject* Sender);
    Q_INVOKABLE void FormKeyPress(QObject* Sender, QChar& Key);

protected:
    // The fight has no close handler; a close request from the window system
    // ends the program like the fight's own exit key.
    void SystemCloseRequested() override;
};

extern TJeu* Jeu;
