// Handlers of the Effects tab: colour effects and the text overlay.
#include "TForm1.h"

void TForm1::tbLightnessChange() {}
void TForm1::tbSaturationChange() {}
void TForm1::tbContrastChange() {}
void TForm1::tbDarknessChange() {}
void TForm1::cbGreyscaleClick() {}
void TForm1::Button1Click() {}
void TForm1::cbTextLogoClick() {}
void TForm1::btFontClick() {}
void TForm1::btTextLogoUpdateParamsClick() {}
void TForm1::edTextLogoChange() {}
void TForm1::edTextLogoLeftChange() {}
void TForm1::edTextLogoTopChange() {}
