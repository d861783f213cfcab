#include "VideoEffects.h"

#include "Rounding.h"

#include <QStringList>

#include <utility>

namespace player {

namespace {

// Reads the additional parameters into the descriptor. The text is upper-cased and each
// ";" starts a new line; a line is NAME=VALUE, split at its first "=". When a name appears
// more than once the first line wins.
void ApplyAdditionalParams(CVFEffect &effect, const QString &params)
{
  const QStringList lines = params.toUpper().replace(QLatin1Char(';'), QLatin1Char('\n'))
                                .split(QLatin1Char('\n'));
  auto valueOf = [&lines](QLatin1StringView name) -> QString {
    for (const QString &line : lines) {
      const qsizetype eq = line.indexOf(QLatin1Char('='));
      if (eq > 0 && QStringView(line).left(eq).trimmed() == name)
        return line.mid(eq + 1).trimmed();
    }
    return {};
  };
  auto readInt = [&](QLatin1StringView name, std::int32_t &field) {
    const QString value = valueOf(name);
    if (value.isEmpty())
      return;
    bool ok = false;
    const int parsed = value.toInt(&ok);
    field = ok ? parsed : 0;
  };
  readInt(QLatin1StringView("MIN"), effect.pMinI);
  readInt(QLatin1StringView("MAX"), effect.pMaxI);
  readInt(QLatin1StringView("TURBULENCE"), effect.pTurbulenceI);
  readInt(QLatin1StringView("SIZE"), effect.pSizeI);
  readInt(QLatin1StringView("SEAM"), effect.pSeamI);
  readInt(QLatin1StringView("FACTOR"), effect.pFactorI);
  readInt(QLatin1StringView("INFERENCE"), effect.pInferenceI);
  readInt(QLatin1StringView("STYLE"), effect.pStyleI);

  // QString::toDouble always reads "." as the decimal separator, whatever the locale.
  const QString scale = valueOf(QLatin1StringView("SCALE"));
  if (!scale.isEmpty()) {
    bool ok = false;
    const double parsed = scale.toDouble(&ok);
    effect.pScaleD = ok ? parsed : 0.0;
  }
}

}  // namespace

VideoEffects::VideoEffects(PlayingQuery isPlaying) : isPlaying_(std::move(isPlaying)) {}

void VideoEffects::AttachFilter(IEffectsFilter *filter)
{
  filter_ = filter;
  if (filter_ == nullptr)
    return;
  try {
    for (const CVFEffect &effect : items_)
      filter_->AddEffect(effect);
  } catch (...) {
    // The hand-over is best effort: whatever the stage took stays, the pipeline runs on.
  }
}

void VideoEffects::DetachFilter() { filter_ = nullptr; }

const CVFEffect *VideoEffects::Find(int ID) const
{
  for (const CVFEffect &effect : items_)
    if (effect.ID == ID)
      return &effect;
  return nullptr;
}

CVFEffect *VideoEffects::FindMutable(int ID)
{
  return const_cast<CVFEffect *>(std::as_const(*this).Find(ID));
}

void VideoEffects::StoreAndSend(CVFEffect *existing, const CVFEffect &fresh)
{
  if (existing == nullptr) {
    items_.push_back(fresh);
    Send(items_.back(), true);
  } else {
    Send(*existing, false);
  }
}

void VideoEffects::Send(const CVFEffect &effect, bool appended)
{
  if (filter_ == nullptr || !isPlaying_ || !isPlaying_())
    return;
  if (appended)
    filter_->AddEffect(effect);
  else
    filter_->UpdateEffect(effect);
}

// None of the operations below reports a failure: an exception (a non-finite amount, a
// throwing filter) is swallowed and leaves the list as far as it got. An existing
// descriptor is written in place, so it may keep a partial change; a new one is appended
// only once it is complete.
void VideoEffects::Video_Effect_Ex(int ID, int StartTime, int StopTime, bool Enabled,
                                   TVFEffectType Effect, double Amount,
                                   const QString &AdditionalParams)
{
  try {
    CVFEffect fresh;
    CVFEffect *existing = FindMutable(ID);
    CVFEffect &effect = existing != nullptr ? *existing : fresh;
    effect._type = Effect;
    effect.ID = ID;
    effect.StartTime = StartTime;
    effect.StopTime = StopTime;
    effect.Enabled = Enabled;
    effect.pAmountI = core::RoundHalfEven(Amount);
    effect.pAmountD = Amount;
    ApplyAdditionalParams(effect, AdditionalParams);
    StoreAndSend(existing, fresh);
  } catch (...) {
  }
}

void VideoEffects::Video_Effects_Text_Logo_Plus(int ID, int StartTime, int StopTime, bool Enabled,
                                                const QString &text, int X, int Y,
                                                const QString &FontName, int FontSize, bool Bold,
                                                bool Italic, bool Underline, bool StrikeOut,
                                                int FontColor)
{
  try {
    CVFEffect fresh;
    fresh.ID = ID;
    CVFEffect *existing = FindMutable(ID);
    CVFEffect &effect = existing != nullptr ? *existing : fresh;
    effect._type = ef_text_logo;
    effect.Enabled = Enabled;
    effect.StartTime = StartTime;
    effect.StopTime = StopTime;
    CVFTextLogo &logo = effect.TextLogo;
    logo.text = text;
    logo.x = X;
    logo.y = Y;
    logo.transparent_bg = true;
    logo.font_name = FontName;
    logo.font_size = FontSize;
    logo.font_italic = Italic;
    logo.font_bold = Bold;
    logo.font_underline = Underline;
    logo.font_strikeout = StrikeOut;
    logo.font_color = static_cast<std::uint32_t>(FontColor);
    logo.bg_color = 0xFFFFFF;
    StoreAndSend(existing, fresh);
  } catch (...) {
  }
}

void VideoEffects::Video_Effects_Text_Logo_Plus_Params_Transparency(int ID, int Transparency)
{
  try {
    if (CVFEffect *effect = FindMutable(ID)) {
      effect->TextLogo.transp = static_cast<std::uint32_t>(Transparency);
      Send(*effect, false);
    }
  } catch (...) {
  }
}

void VideoEffects::Video_Effects_Text_Logo_Plus_Params_Update(int ID, bool Enabled)
{
  try {
    if (CVFEffect *effect = FindMutable(ID)) {
      effect->Enabled = Enabled;
      Send(*effect, false);
    }
  } catch (...) {
  }
}

void VideoEffects::Video_Effects_Clear()
{
  DetachFilter();
  items_.clear();
}

}  // namespace player
