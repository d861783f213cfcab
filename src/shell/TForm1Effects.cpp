// Handlers of the Effects tab: colour effects and the text overlay. The rules live in
// editing::EffectsSettings; these only pass each control's signal on.
#include "TForm1.h"

#include "EffectsSettings.h"
#include "EffectsTarget.h"

struct TForm1::TEffectsTab {
    explicit TEffectsTab(TForm1 &form)
        : Player(form.MediaPlayer1->Effects()),
          Settings({.tbLightness = form.ui.tbLightness,
                    .tbSaturation = form.ui.tbSaturation,
                    .tbContrast = form.ui.tbContrast,
                    .tbDarkness = form.ui.tbDarkness,
                    .cbGreyscale = form.ui.cbGreyscale,
                    .Button1 = form.ui.Button1,
                    .cbTextLogo = form.ui.cbTextLogo,
                    .edTextLogo = form.ui.edTextLogo,
                    .btFont = form.ui.btFont,
                    .edTextLogoLeft = form.ui.edTextLogoLeft,
                    .edTextLogoTop = form.ui.edTextLogoTop,
                    .btTextLogoUpdateParams = form.ui.btTextLogoUpdateParams},
                   Player, form.ActivityLog, form.Prompts)
    {
    }

    editing::PlayerEffectsTarget Player;
    editing::EffectsSettings Settings;
};

void TForm1::SetUpEffects()
{
    FEffectsTab = std::make_shared<TEffectsTab>(*this);
}

void TForm1::tbLightnessChange() { FEffectsTab->Settings.tbLightnessChange(); }
void TForm1::tbSaturationChange() { FEffectsTab->Settings.tbSaturationChange(); }
void TForm1::tbContrastChange() { FEffectsTab->Settings.tbContrastChange(); }
void TForm1::tbDarknessChange() { FEffectsTab->Settings.tbDarknessChange(); }
void TForm1::cbGreyscaleClick() { FEffectsTab->Settings.cbGreyscaleClick(); }
void TForm1::Button1Click() { FEffectsTab->Settings.Button1Click(); }
void TForm1::cbTextLogoClick() { FEffectsTab->Settings.cbTextLogoClick(); }
void TForm1::btFontClick() { FEffectsTab->Settings.btFontClick(); }
void TForm1::btTextLogoUpdateParamsClick() { FEffectsTab->Settings.btTextLogoUpdateParamsClick(); }
void TForm1::edTextLogoChange() { FEffectsTab->Settings.edTextLogoChange(); }
void TForm1::edTextLogoLeftChange() { FEffectsTab->Settings.edTextLogoLeftChange(); }
void TForm1::edTextLogoTopChange() { FEffectsTab->Settings.edTextLogoTopChange(); }
