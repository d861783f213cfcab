// The Effects tab: colour effects and one text overlay, handed to the player at once.
//
// Each slider, the Greyscale box and the overlay controls call the player's effect
// operations with fixed IDs (11..16); the player applies them to the video it plays. The
// window connects every control's signal to the handler of the same name here; the handlers
// read the controls, call the player and write the log. Nothing is cached: after opening a
// video (which clears the player's effect list) no effect is in force until a control
// changes again. UI thread only.
#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QString>

#include "ActivityLog.h"
#include "EffectsTarget.h"
#include "Prompts.h"

class QAbstractButton;
class QCheckBox;
class QLineEdit;
class QSlider;

namespace editing {

// The controls of the tab, by their names in the main window; owned by the window and
// living as long as the EffectsSettings given them.
struct EffectsControls {
  QSlider *tbLightness = nullptr;
  QSlider *tbSaturation = nullptr;
  QSlider *tbContrast = nullptr;
  QSlider *tbDarkness = nullptr;
  QCheckBox *cbGreyscale = nullptr;
  QAbstractButton *Button1 = nullptr;  // "Reset"
  QCheckBox *cbTextLogo = nullptr;     // "Enabled"
  QLineEdit *edTextLogo = nullptr;
  QAbstractButton *btFont = nullptr;
  QLineEdit *edTextLogoLeft = nullptr;
  QLineEdit *edTextLogoTop = nullptr;
  QAbstractButton *btTextLogoUpdateParams = nullptr;  // "Update"
};

// The font of the text overlay as the font dialog (FontDialog1) keeps it.
struct OverlayFont {
  QFont Font;
  QColor Color;
};

class EffectsSettings : public QObject {
 public:
  // The player's effect entry of each control.
  static constexpr int LightnessID = 11;
  static constexpr int SaturationID = 12;
  static constexpr int ContrastID = 13;
  static constexpr int DarknessID = 14;
  static constexpr int GreyscaleID = 15;
  static constexpr int TextOverlayID = 16;

  // Installs the pointer-release watchers of "Reset" and "Update". The references must
  // outlive this object.
  EffectsSettings(const EffectsControls &controls, IEffectsTarget &player,
                  core::TActivityLog &log, core::IPrompts &prompts, QObject *parent = nullptr);

  // Tahoma, bold, white, 36 points (48 pixels on the 96-dpi frames).
  static OverlayFont InitialOverlayFont();
  const OverlayFont &FontDialog1() const { return FFont; }

  // Every change of a slider's position, whatever its cause.
  void tbLightnessChange();
  void tbSaturationChange();
  void tbContrastChange();
  void tbDarknessChange();
  // Every change of the Greyscale box, the reset's unchecking included.
  void cbGreyscaleClick();
  // Activation of "Reset": puts the sliders and the box back to the values at which the
  // effects leave the picture unchanged; each control that changes runs its own handler.
  void Button1Click();
  // Every change of the "Enabled" box: applies the overlay.
  void cbTextLogoClick();
  // The font dialog, opened on the current overlay font; applies the overlay on OK.
  void btFontClick();
  // Activation of "Update": applies the overlay.
  void btTextLogoUpdateParamsClick();
  // Typing only logs; the texts take effect at the next apply.
  void edTextLogoChange();
  void edTextLogoLeftChange();
  void edTextLogoTopChange();

  // Stores overlay 16 with the current text, position and font and shows it only while
  // "Enabled" is checked. A position that is not a decimal integer stops it before any
  // player call: the warning box shows the conversion error and false is returned.
  bool ApplyTextOverlay();

 private:
  void SliderChanged(int ID, player::TVFEffectType Effect, const QSlider *slider);
  void Log(const QString &text) { core::LogEvent(FLog, text); }

  EffectsControls FControls;
  IEffectsTarget &FPlayer;
  core::TActivityLog &FLog;
  core::IPrompts &FPrompts;
  OverlayFont FFont = InitialOverlayFont();
};

}  // namespace editing
