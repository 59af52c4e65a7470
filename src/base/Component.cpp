#include "Component.h"

TComponent::TComponent(QObject* AOwner)
    : QObject(AOwner)
{
}
