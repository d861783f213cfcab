// Handlers of opening a video, the transport and trimming, and the window commands.
#include "TForm1.h"

void TForm1::OpenButtonClick() {}
void TForm1::resetbuttonClick() {}
void TForm1::GIFViewer1Click() {}
void TForm1::OnlineGuide1Click() {}
void TForm1::Support1Click() {}
void TForm1::HomePage1Click() {}
void TForm1::PlayButtonClick() {}
void TForm1::PauseButtonClick() {}
void TForm1::Button2Click() {}
void TForm1::Button3Click() {}
void TForm1::Button4Click() {}
void TForm1::Button5Click() {}
void TForm1::trimleftbuttonClick() {}
void TForm1::trimrightbuttonClick() {}
void TForm1::playtrimmedbuttonClick() {}
void TForm1::TrackBar2Change() {}
void TForm1::TimeStartKeyPress(int) {}
void TForm1::TimeEndKeyPress(int) {}
void TForm1::Timer3Timer() {}
void TForm1::SetClipStart(int) {}
void TForm1::SetClipEnd(int) {}
