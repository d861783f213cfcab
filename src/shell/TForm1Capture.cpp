// Frame capture on the capture timer and the assembly of the captured frames into the GIF.
#include "TForm1.h"

void TForm1::Timer1Timer() {}
void TForm1::AssembleGif() {}
