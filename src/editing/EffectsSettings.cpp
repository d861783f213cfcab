#include "EffectsSettings.h"

#include "ButtonReleaseWatcher.h"
#include "Rounding.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QSlider>

namespace editing {

namespace {

// The player's colour value: 0x00BBGGRR, red in the low byte.
int PackedColor(const QColor &color)
{
  const QColor rgb = color.toRgb();
  return rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16);
}

// The overlay's size in points. A font given in pixels is converted at the 96 dpi at which
// the frames are drawn on.
int PointSize(const QFont &font)
{
  if (font.pointSize() > 0)
    return font.pointSize();
  return core::RoundHalfEven(font.pixelSize() * 72.0 / 96.0);
}

// A position field read as a decimal integer; false for any other text, an empty one
// included.
bool ReadPosition(const QLineEdit *field, int &value, QString &error)
{
  bool ok = false;
  value = field->text().toInt(&ok, 10);
  if (!ok)
    error = QStringLiteral("'%1' is not a valid integer value").arg(field->text());
  return ok;
}

}  // namespace

EffectsSettings::EffectsSettings(const EffectsControls &controls, IEffectsTarget &player,
                                 core::TActivityLog &log, core::IPrompts &prompts,
                                 QObject *parent)
    : QObject(parent), FControls(controls), FPlayer(player), FLog(log), FPrompts(prompts)
{
  // The release lines follow whatever the click itself did (the reset's own lines, the
  // overlay's calls).
  new ButtonReleaseWatcher(FControls.Button1,
                           [this] { Log(QStringLiteral(" ---> Reset Effects button clicked")); },
                           this);
  new ButtonReleaseWatcher(
      FControls.btTextLogoUpdateParams,
      [this] { Log(QStringLiteral(" ---> Update Overlayed Text button clicked")); }, this);
}

OverlayFont EffectsSettings::InitialOverlayFont()
{
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(36);
  font.setBold(true);
  font.setItalic(false);
  font.setUnderline(false);
  font.setStrikeOut(false);
  return {font, QColor(Qt::white)};
}

// The effect stays enabled at every position: 0 (or 255 for saturation) is simply the
// amount that changes nothing.
void EffectsSettings::SliderChanged(int ID, player::TVFEffectType Effect, const QSlider *slider)
{
  FPlayer.Video_Effect_Ex(ID, 0, 0, true, Effect, slider->value(), QString());
}

void EffectsSettings::tbLightnessChange()
{
  SliderChanged(LightnessID, player::ef_lightness, FControls.tbLightness);
}

void EffectsSettings::tbSaturationChange()
{
  SliderChanged(SaturationID, player::ef_saturation, FControls.tbSaturation);
}

void EffectsSettings::tbContrastChange()
{
  SliderChanged(ContrastID, player::ef_contrast, FControls.tbContrast);
}

void EffectsSettings::tbDarknessChange()
{
  SliderChanged(DarknessID, player::ef_darkness, FControls.tbDarkness);
}

void EffectsSettings::cbGreyscaleClick()
{
  Log(QStringLiteral(" ---> Checking Greyscale box"));
  FPlayer.Video_Effect_Ex(GreyscaleID, 0, 0, FControls.cbGreyscale->isChecked(),
                          player::ef_greyscale, 0, QString());
}

void EffectsSettings::Button1Click()
{
  FControls.tbLightness->setValue(0);
  FControls.tbSaturation->setValue(FControls.tbSaturation->maximum());
  FControls.tbContrast->setValue(0);
  FControls.tbDarkness->setValue(0);
  FControls.cbGreyscale->setChecked(false);
}

bool EffectsSettings::ApplyTextOverlay()
{
  int left = 0;
  int top = 0;
  QString error;
  if (!ReadPosition(FControls.edTextLogoLeft, left, error)
      || !ReadPosition(FControls.edTextLogoTop, top, error)) {
    FPrompts.Warning(error);
    return false;
  }
  const QFont &font = FFont.Font;
  FPlayer.Video_Effects_Text_Logo_Plus(TextOverlayID, 0, 0, false, FControls.edTextLogo->text(),
                                       left, top, font.family(), PointSize(font), font.bold(),
                                       font.italic(), font.underline(), font.strikeOut(),
                                       PackedColor(FFont.Color));
  FPlayer.Video_Effects_Text_Logo_Plus_Params_Transparency(TextOverlayID, 0);
  FPlayer.Video_Effects_Text_Logo_Plus_Params_Update(TextOverlayID,
                                                     FControls.cbTextLogo->isChecked());
  return true;
}

void EffectsSettings::cbTextLogoClick()
{
  Log(QStringLiteral(" ---> Text Overlay checkbox clicked"));
  ApplyTextOverlay();
}

void EffectsSettings::btFontClick()
{
  Log(QStringLiteral(" ---> Font button clicked"));
  OverlayFont chosen = FFont;
  if (!FPrompts.ChooseFont(chosen.Font, chosen.Color))
    return;
  FFont = chosen;
  ApplyTextOverlay();
}

void EffectsSettings::btTextLogoUpdateParamsClick()
{
  ApplyTextOverlay();
}

void EffectsSettings::edTextLogoChange()
{
  Log(QStringLiteral(" ---> Changing overlaying text"));
}

void EffectsSettings::edTextLogoLeftChange()
{
  Log(QStringLiteral(" ---> Overlayed text left position changed"));
}

void EffectsSettings::edTextLogoTopChange()
{
  Log(QStringLiteral(" ---> Overlayed text top position changed"));
}

}  // namespace editing
