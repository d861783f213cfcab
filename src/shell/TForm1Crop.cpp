// Handlers of the crop area editor: the crop fields and the mouse over the player.
#include "TForm1.h"

void TForm1::edLeftChange() {}
void TForm1::edTopChange() {}
void TForm1::edWidthChange() {}
void TForm1::edHeightChange() {}
void TForm1::MediaPlayer1MouseDown(player::TVFMouseButton, int, int, bool, bool, bool, bool,
                                   bool, bool) {}
void TForm1::MediaPlayer1MouseUp(player::TVFMouseButton, int, int, bool, bool, bool, bool,
                                 bool, bool) {}
void TForm1::MediaPlayer1MouseMove(int, int) {}
void TForm1::EditValuesToArea() {}
void TForm1::FilloutEdits(bool, bool) {}
void TForm1::setcropareavisible(bool) {}
