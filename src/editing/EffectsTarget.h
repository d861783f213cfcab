// The player operations the Effects tab calls, behind a small interface so that the tab's
// rules can be checked against a recording double. PlayerEffectsTarget passes them on to the
// player's effect list unchanged. UI thread only.
#pragma once

#include <QString>

#include "VideoEffects.h"

namespace editing {

class IEffectsTarget {
 public:
  virtual ~IEffectsTarget() = default;

  // Adds or updates the colour effect with this ID (see player::VideoEffects).
  virtual void Video_Effect_Ex(int ID, int StartTime, int StopTime, bool Enabled,
                               player::TVFEffectType Effect, double Amount,
                               const QString &AdditionalParams) = 0;
  // Adds or updates a text overlay entry; FontSize in points, FontColor 0x00BBGGRR.
  virtual void Video_Effects_Text_Logo_Plus(int ID, int StartTime, int StopTime, bool Enabled,
                                            const QString &text, int X, int Y,
                                            const QString &FontName, int FontSize, bool Bold,
                                            bool Italic, bool Underline, bool StrikeOut,
                                            int FontColor) = 0;
  virtual void Video_Effects_Text_Logo_Plus_Params_Transparency(int ID, int Transparency) = 0;
  virtual void Video_Effects_Text_Logo_Plus_Params_Update(int ID, bool Enabled) = 0;
};

// The real player's effect list. The list must outlive this adapter.
class PlayerEffectsTarget : public IEffectsTarget {
 public:
  explicit PlayerEffectsTarget(player::VideoEffects &effects) : FEffects(effects) {}

  void Video_Effect_Ex(int ID, int StartTime, int StopTime, bool Enabled,
                       player::TVFEffectType Effect, double Amount,
                       const QString &AdditionalParams) override
  {
    FEffects.Video_Effect_Ex(ID, StartTime, StopTime, Enabled, Effect, Amount, AdditionalParams);
  }

  void Video_Effects_Text_Logo_Plus(int ID, int StartTime, int StopTime, bool Enabled,
                                    const QString &text, int X, int Y, const QString &FontName,
                                    int FontSize, bool Bold, bool Italic, bool Underline,
                                    bool StrikeOut, int FontColor) override
  {
    FEffects.Video_Effects_Text_Logo_Plus(ID, StartTime, StopTime, Enabled, text, X, Y, FontName,
                                          FontSize, Bold, Italic, Underline, StrikeOut,
                                          FontColor);
  }

  void Video_Effects_Text_Logo_Plus_Params_Transparency(int ID, int Transparency) override
  {
    FEffects.Video_Effects_Text_Logo_Plus_Params_Transparency(ID, Transparency);
  }

  void Video_Effects_Text_Logo_Plus_Params_Update(int ID, bool Enabled) override
  {
    FEffects.Video_Effects_Text_Logo_Plus_Params_Update(ID, Enabled);
  }

 private:
  player::VideoEffects &FEffects;
};

}  // namespace editing
