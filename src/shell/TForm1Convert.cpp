// Handlers of a conversion's start and stop, the frame rate field and the result.
#include "TForm1.h"

void TForm1::StartConvertButtonClick() {}
void TForm1::StopConvertButtonClick() {}
void TForm1::SpinEdit1Change() {}
void TForm1::DelayTimerTimer() {}
