#pragma once

#include <functional>

class TForm;

// Hands over from the menu to the fight, inside one tick of the menu's timer:
// hide the menu, run its creation handler again, create and paint the loading
// window, release the menu, create the fight window (`createFight`, which
// steps the loading bar as it loads), show it, then close and release the
// loading window. A window is on screen from the loading window's painting on.
// A failure of the menu's creation handler is shown and the hand-over goes on.
// A termination signal that arrives meanwhile takes effect after the end.
void HandOver(TForm& menu, const std::function<TForm*()>& createFight);
