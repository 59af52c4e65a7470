#pragma once

#include "Form.h"
#include "StdControls.h"

// The loading window, shown while the fight window loads its models.
class TSplashScreen : public TForm
{
    Q_OBJECT
    Q_PROPERTY(TImage* Image1 MEMBER Image1)
    Q_PROPERTY(TLabel* Loading MEMBER Loading)
    Q_PROPERTY(TProgressBar* ProgressBar1 MEMBER ProgressBar1)

public:
    explicit TSplashScreen(QObject* AOwner);

    TImage* Image1 = nullptr;
    TLabel* Loading = nullptr;
    TProgressBar* ProgressBar1 = nullptr;

    Q_INVOKABLE void FormCreate(QObject* Sender);
};

extern TSplashScreen* SplashScreen;
