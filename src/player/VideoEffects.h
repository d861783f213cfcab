// Effect descriptors and the player's effect list.
//
// The player keeps one descriptor per effect, keyed by an ID the caller chooses, and hands
// copies to the effects stage in the video path. The list is the player's and survives
// Stop, Close and pipeline rebuilds; only Video_Effects_Clear empties it. A change reaches
// the stage only while the player is playing (as an AddEffect / UpdateEffect of that one
// descriptor) or at the next pipeline build, when AttachFilter hands every descriptor over
// in list order. So a change made while paused or stopped is not seen until playback starts
// again from a stop.
//
// Threads: everything here runs on the UI thread. The stage receives copies; the texts are
// QStrings, so the copy shares nothing the UI thread can change under it.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace player {

// Effect kinds. Quorvane uses ef_text_logo, ef_contrast, ef_darkness, ef_greyscale,
// ef_lightness and ef_saturation; the stage ignores the others.
enum TVFEffectType : std::int32_t {
  ef_text_logo = 0,
  ef_graphic_logo = 1,
  ef_blue = 2,
  ef_blur = 3,
  ef_color_noise = 4,
  ef_contrast = 5,
  ef_darkness = 6,
  ef_filter_blue = 7,
  ef_filter_blue_2 = 8,
  ef_filter_green = 9,
  ef_filter_green2 = 10,
  ef_filter_red = 11,
  ef_filter_red2 = 12,
  ef_flip_down = 13,
  ef_flip_right = 14,
  ef_green = 15,
  ef_greyscale = 16,
  ef_invert = 17,
  ef_lightness = 18,
  ef_marble = 19,
  ef_mirror_down = 20,
  ef_mirror_right = 21,
  ef_mono_noise = 22,
  ef_mosaic = 23,
  ef_posterize = 24,
  ef_red = 25,
  ef_saturation = 26,
  ef_shake_down = 27,
  ef_solorize = 28,
  ef_spray = 29,
  ef_denoise_cast = 30,
  ef_denoise_adaptive = 31,
  ef_denoise_mosquito = 32,
  ef_deint_blend = 33,
  ef_deint_triangle = 34,
  ef_deint_cavt = 35,
};

// Text overlay parameters. Colours are 0x00BBGGRR (red in the low byte). Defaults are those
// of a new descriptor.
struct CVFTextLogo {
  std::int32_t x = 0;  // frame pixels, left edge of the text
  std::int32_t y = 0;  // frame pixels, top edge of the text
  bool transparent_bg = true;
  std::int32_t font_size = 32;  // points; frames are drawn on at 96 dpi
  bool font_italic = false;
  bool font_bold = false;
  bool font_underline = false;
  bool font_strikeout = false;
  std::uint32_t font_color = 0;
  std::uint32_t bg_color = 0;
  bool rightToLeft = false;
  bool vertical = false;
  std::uint32_t align = 0;
  std::uint32_t drawQuality = 0;
  std::uint32_t antialiasing = 0;
  std::int32_t rectWidth = 0;
  std::int32_t rectHeight = 0;
  std::uint32_t rotationMode = 0;
  std::uint32_t flipMode = 0;
  std::uint32_t transp = 255;  // 0 fully opaque ... 255 fully transparent
  bool gradient = false;
  std::uint32_t gradientMode = 0;
  std::uint32_t gradientColor1 = 0;
  std::uint32_t gradientColor2 = 0;
  std::uint32_t borderMode = 0;
  std::uint32_t innerBorderColor = 0;
  std::uint32_t outerBorderColor = 0;
  std::int32_t innerBorderSize = 1;
  std::int32_t outerBorderSize = 1;
  bool bgShape = false;
  std::uint32_t bgShapeType = 0;
  std::int32_t bgShapeX = 0;
  std::int32_t bgShapeY = 0;
  std::int32_t bgShapeWidth = 0;
  std::int32_t bgShapeHeight = 0;
  std::uint32_t bgShapeColor = 0;
  QString text;
  QString font_name = QStringLiteral("Arial");
  bool dateMode = false;
  QString dateMask;

  bool operator==(const CVFTextLogo &) const = default;
};

// Picture overlay, denoise and deinterlace parameters: carried, never filled, never applied.
struct CVFGraphicLogo {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t StretchMode = 0;
  std::int32_t hBmp = 0;
  std::int32_t TranspLevel = 0;
  std::uint32_t ColorKey = 0;
  bool UseColorKey = false;
  QString Filename;

  bool operator==(const CVFGraphicLogo &) const = default;
};

struct CVFDenoiseCAST {
  std::int32_t TemporalDifferenceThreshold = 0;
  std::int32_t NumberOfMotionPixelsThreshold = 0;
  std::int32_t StrongEdgeThreshold = 0;
  std::int32_t BlockWidth = 0;
  std::int32_t BlockHeight = 0;
  std::int32_t EdgePixelWeight = 0;
  std::int32_t NonEdgePixelWeight = 0;
  std::int32_t GaussianThresholdY = 0;
  std::int32_t GaussianThresholdUV = 0;
  std::int32_t HistoryWeight = 0;

  bool operator==(const CVFDenoiseCAST &) const = default;
};

struct CVFDeintBlend {
  std::int32_t blendThresh1 = 0;
  std::int32_t blendThresh2 = 0;
  double blendConstants1 = 0.0;
  double blendConstants2 = 0.0;

  bool operator==(const CVFDeintBlend &) const = default;
};

// One effect. A default-constructed descriptor is a new one: all zero except the text
// overlay defaults above. The fields keep their given names; the stage takes this struct
// directly, so there is no byte layout to keep.
struct CVFEffect {
  TVFEffectType _type = ef_text_logo;
  std::int32_t ID = 0;
  std::int64_t StartTime = 0;  // the caller's value unchanged; 0 and 0: every frame
  std::int64_t StopTime = 0;
  bool Enabled = false;
  std::int32_t pAmountI = 0;  // amount rounded half to even
  std::int32_t pMinI = 0;
  std::int32_t pMaxI = 0;
  double pAmountD = 0.0;  // amount as given
  double pScaleD = 0.0;
  std::int32_t pTurbulenceI = 0;
  std::int32_t pSizeI = 0;
  std::int32_t pSeamI = 0;
  std::int32_t pFactorI = 0;
  std::int32_t pInferenceI = 0;
  std::int32_t pStyleI = 0;
  std::int32_t pDenoiseSNRThreshold = 0;
  std::int32_t pDeintTriangleWeight = 0;
  std::int32_t pDeintCAVTThreshold = 0;
  std::int32_t pDenoiseAdaptiveThreshold = 0;
  std::int32_t pDenoiseAdaptiveBlurMode = 0;
  CVFTextLogo TextLogo;
  CVFGraphicLogo GraphicLogo;
  CVFDenoiseCAST DenoiseCAST;
  CVFDeintBlend DeintBlend;

  bool operator==(const CVFEffect &) const = default;
};

// What the player hands descriptors to: the effects stage of the running pipeline.
// Called on the UI thread; the receiver keeps its own copy.
class IEffectsFilter {
 public:
  virtual ~IEffectsFilter() = default;
  virtual void AddEffect(const CVFEffect &effect) = 0;
  // Replaces the descriptor with the same ID as a whole.
  virtual void UpdateEffect(const CVFEffect &effect) = 0;
};

// The player's effect list (FEffectList) and the operations that change it. UI thread only.
class VideoEffects {
 public:
  // Answers whether the player's Status is ST_PLAY right now; only then does a change go to
  // the attached filter at once.
  using PlayingQuery = std::function<bool()>;

  explicit VideoEffects(PlayingQuery isPlaying);

  // Pipeline build: the filter of the new pipeline becomes the target and receives every
  // descriptor with AddEffect, in list order. The filter must outlive the attachment.
  void AttachFilter(IEffectsFilter *filter);
  // Pipeline teardown: later changes stay in the list only.
  void DetachFilter();
  bool HasFilter() const { return filter_ != nullptr; }

  // Creates or changes the descriptor with this ID as a colour effect. AdditionalParams is
  // "NAME=VALUE" pairs separated by ";" or line breaks, names in any case: MIN, MAX,
  // TURBULENCE, SIZE, SEAM, FACTOR, INFERENCE, STYLE (integers) and SCALE (a "." decimal).
  // A name present with a non-empty value is stored (0 when the value does not convert);
  // an absent name or empty value keeps the field.
  void Video_Effect_Ex(int ID, int StartTime, int StopTime, bool Enabled, TVFEffectType Effect,
                       double Amount, const QString &AdditionalParams);

  // Creates or changes the descriptor with this ID as a text overlay on a transparent
  // background (bg_color white). The other overlay fields keep their values.
  void Video_Effects_Text_Logo_Plus(int ID, int StartTime, int StopTime, bool Enabled,
                                    const QString &text, int X, int Y, const QString &FontName,
                                    int FontSize, bool Bold, bool Italic, bool Underline,
                                    bool StrikeOut, int FontColor);

  // Both change an existing descriptor only; an unknown ID is ignored.
  void Video_Effects_Text_Logo_Plus_Params_Transparency(int ID, int Transparency);
  void Video_Effects_Text_Logo_Plus_Params_Update(int ID, bool Enabled);

  // Detaches the filter, then empties the list. The running pipeline's stage keeps what it
  // had; the player calls this only when no pipeline exists.
  void Video_Effects_Clear();

  const std::vector<CVFEffect> &Items() const { return items_; }
  // First descriptor in list order with this ID, or nullptr.
  const CVFEffect *Find(int ID) const;

 private:
  CVFEffect *FindMutable(int ID);
  // Sends a descriptor that already existed (UpdateEffect) or was just appended (AddEffect)
  // when playing with a filter attached.
  void Send(const CVFEffect &effect, bool appended);
  // Appends fresh when there was no descriptor with its ID (existing is null), then sends
  // the stored descriptor.
  void StoreAndSend(CVFEffect *existing, const CVFEffect &fresh);

  PlayingQuery isPlaying_;
  IEffectsFilter *filter_ = nullptr;  // not owned
  std::vector<CVFEffect> items_;
};

}  // namespace player
