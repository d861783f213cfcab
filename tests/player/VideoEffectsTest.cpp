#include "VideoEffects.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

using namespace player;

namespace {

// Records what the player hands over, in order.
class RecordingFilter : public IEffectsFilter {
 public:
  struct Call {
    bool add;
    CVFEffect effect;
  };
  void AddEffect(const CVFEffect &e) override { calls.push_back({true, e}); }
  void UpdateEffect(const CVFEffect &e) override { calls.push_back({false, e}); }
  std::vector<Call> calls;
};

struct VideoEffectsList : testing::Test {
  bool playing = false;
  VideoEffects effects{[this] { return playing; }};
  RecordingFilter filter;
};

}  // namespace

TEST(VideoEffectsDescriptor, NewDescriptorHasTextOverlayDefaultsAndZeroElsewhere)
{
  const CVFEffect e;
  EXPECT_EQ(e._type, ef_text_logo);
  EXPECT_EQ(e.ID, 0);
  EXPECT_FALSE(e.Enabled);
  EXPECT_EQ(e.pAmountI, 0);
  EXPECT_EQ(e.pScaleD, 0.0);
  const CVFTextLogo &t = e.TextLogo;
  EXPECT_TRUE(t.transparent_bg);
  EXPECT_EQ(t.font_size, 32);
  EXPECT_EQ(t.transp, 255u);
  EXPECT_EQ(t.innerBorderSize, 1);
  EXPECT_EQ(t.outerBorderSize, 1);
  EXPECT_EQ(t.font_name, QStringLiteral("Arial"));
  EXPECT_TRUE(t.text.isEmpty());
  EXPECT_FALSE(t.font_bold);
  EXPECT_EQ(t.font_color, 0u);
  EXPECT_EQ(t.bg_color, 0u);
  EXPECT_EQ(e.GraphicLogo, CVFGraphicLogo{});
  EXPECT_EQ(e.DenoiseCAST, CVFDenoiseCAST{});
  EXPECT_EQ(e.DeintBlend, CVFDeintBlend{});
}

TEST(VideoEffectsDescriptor, EffectKindsKeepTheirNumbers)
{
  EXPECT_EQ(ef_contrast, 5);
  EXPECT_EQ(ef_darkness, 6);
  EXPECT_EQ(ef_greyscale, 16);
  EXPECT_EQ(ef_lightness, 18);
  EXPECT_EQ(ef_saturation, 26);
  EXPECT_EQ(ef_deint_cavt, 35);
}

TEST_F(VideoEffectsList, ColourEffectIsCreatedThenChangedInPlace)
{
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, 100, {});
  effects.Video_Effect_Ex(12, 0, 0, true, ef_saturation, 255, {});
  effects.Video_Effect_Ex(11, -1, 7, false, ef_lightness, 30, {});
  ASSERT_EQ(effects.Items().size(), 2u);
  const CVFEffect &e = effects.Items()[0];
  EXPECT_EQ(e.ID, 11);
  EXPECT_EQ(e._type, ef_lightness);
  EXPECT_EQ(e.StartTime, -1);  // sign-extended
  EXPECT_EQ(e.StopTime, 7);
  EXPECT_FALSE(e.Enabled);
  EXPECT_EQ(e.pAmountI, 30);
  EXPECT_EQ(e.pAmountD, 30.0);
  EXPECT_EQ(effects.Items()[1].ID, 12);
}

TEST_F(VideoEffectsList, AmountRoundsHalfToEven)
{
  const std::vector<std::pair<double, int>> cases{{2.5, 2}, {3.5, 4}, {-0.5, 0}, {100.4, 100}};
  for (const auto &[amount, rounded] : cases) {
    effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, amount, {});
    EXPECT_EQ(effects.Find(11)->pAmountI, rounded) << amount;
    EXPECT_EQ(effects.Find(11)->pAmountD, amount);
  }
}

TEST_F(VideoEffectsList, NonFiniteAmountIsSwallowedAndAddsNothing)
{
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, std::numeric_limits<double>::infinity(),
                          {});
  EXPECT_TRUE(effects.Items().empty());
}

namespace {

struct ParamCase {
  const char *name;
  const char *params;
  std::int32_t min, max, size, style;
  double scale;
};

// Every descriptor starts from MIN=1;MAX=2;SIZE=3;STYLE=4;SCALE=9.5 and then gets the
// case's text, so "keeps the field" is visible.
const ParamCase kParamCases[] = {
    {"MixedCaseAndSemicolons", "min=5;Scale=1.5", 5, 2, 3, 4, 1.5},
    {"BadIntegerBecomesZero", "MAX=abc", 1, 0, 3, 4, 9.5},
    {"BadFloatBecomesZero", "SCALE=1,5", 1, 2, 3, 4, 0.0},
    {"EmptyTextChangesNothing", "", 1, 2, 3, 4, 9.5},
    {"EmptyValueKeepsField", "MIN=;SIZE=  ", 1, 2, 3, 4, 9.5},
    {"LineBreaksAndSpacesAroundValues", "size= 12 \nstyle=-3", 1, 2, 12, -3, 9.5},
    {"FirstOfRepeatedNamesWins", "MIN=7;MIN=8", 7, 2, 3, 4, 9.5},
    {"UnknownNamesIgnored", "FOO=1;MINIMUM=6", 1, 2, 3, 4, 9.5},
};

class AdditionalParams : public testing::TestWithParam<ParamCase> {};

}  // namespace

TEST_P(AdditionalParams, AreReadIntoTheirFields)
{
  const ParamCase &c = GetParam();
  VideoEffects effects{[] { return false; }};
  effects.Video_Effect_Ex(1, 0, 0, true, ef_lightness, 0, "MIN=1;MAX=2;SIZE=3;STYLE=4;SCALE=9.5");
  effects.Video_Effect_Ex(1, 0, 0, true, ef_lightness, 0, QString::fromUtf8(c.params));
  const CVFEffect &e = *effects.Find(1);
  EXPECT_EQ(e.pMinI, c.min);
  EXPECT_EQ(e.pMaxI, c.max);
  EXPECT_EQ(e.pSizeI, c.size);
  EXPECT_EQ(e.pStyleI, c.style);
  EXPECT_EQ(e.pScaleD, c.scale);
  EXPECT_EQ(e.TextLogo, CVFTextLogo{});
}

INSTANTIATE_TEST_SUITE_P(VideoEffects, AdditionalParams, testing::ValuesIn(kParamCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(VideoEffectsList, AllNineParameterNamesAreRead)
{
  effects.Video_Effect_Ex(1, 0, 0, true, ef_mosaic, 0,
                          "min=1;max=2;turbulence=3;size=4;seam=5;factor=6;inference=7;style=8;"
                          "scale=0.25");
  const CVFEffect &e = *effects.Find(1);
  EXPECT_EQ((std::vector<int>{e.pMinI, e.pMaxI, e.pTurbulenceI, e.pSizeI, e.pSeamI, e.pFactorI,
                              e.pInferenceI, e.pStyleI}),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(e.pScaleD, 0.25);
}

TEST_F(VideoEffectsList, TextOverlayWritesItsFieldsAndKeepsTheOthers)
{
  effects.Video_Effects_Text_Logo_Plus(16, 0, 0, false, "Hi", 10, 20, "Tahoma", 36, true, false,
                                       true, false, 0x0000FF);
  const CVFEffect *e = effects.Find(16);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->_type, ef_text_logo);
  EXPECT_FALSE(e->Enabled);
  EXPECT_EQ(e->TextLogo.text, "Hi");
  EXPECT_EQ(e->TextLogo.x, 10);
  EXPECT_EQ(e->TextLogo.y, 20);
  EXPECT_EQ(e->TextLogo.font_name, "Tahoma");
  EXPECT_EQ(e->TextLogo.font_size, 36);
  EXPECT_TRUE(e->TextLogo.font_bold);
  EXPECT_TRUE(e->TextLogo.font_underline);
  EXPECT_FALSE(e->TextLogo.font_italic);
  EXPECT_EQ(e->TextLogo.font_color, 0x0000FFu);
  EXPECT_EQ(e->TextLogo.bg_color, 0xFFFFFFu);
  EXPECT_TRUE(e->TextLogo.transparent_bg);
  EXPECT_EQ(e->TextLogo.transp, 255u);  // until the transparency call

  effects.Video_Effects_Text_Logo_Plus_Params_Transparency(16, 0);
  effects.Video_Effects_Text_Logo_Plus_Params_Update(16, true);
  EXPECT_EQ(e->TextLogo.transp, 0u);
  EXPECT_TRUE(e->Enabled);

  // A second call rewrites its fields but keeps transp.
  effects.Video_Effects_Text_Logo_Plus(16, 0, 0, false, "Bye", 1, 2, "Lato", 12, false, true,
                                       false, true, 0);
  EXPECT_EQ(effects.Items().size(), 1u);
  EXPECT_EQ(e->TextLogo.text, "Bye");
  EXPECT_TRUE(e->TextLogo.font_strikeout);
  EXPECT_EQ(e->TextLogo.transp, 0u);
}

TEST_F(VideoEffectsList, ParamsCallsOnUnknownIdDoNothing)
{
  effects.AttachFilter(&filter);
  playing = true;
  effects.Video_Effects_Text_Logo_Plus_Params_Transparency(99, 0);
  effects.Video_Effects_Text_Logo_Plus_Params_Update(99, true);
  EXPECT_TRUE(effects.Items().empty());
  EXPECT_TRUE(filter.calls.empty());
}

TEST_F(VideoEffectsList, UpdateSwitchesAnyKind)
{
  effects.Video_Effect_Ex(15, 0, 0, true, ef_greyscale, 0, {});
  effects.Video_Effects_Text_Logo_Plus_Params_Update(15, false);
  EXPECT_FALSE(effects.Find(15)->Enabled);
}

TEST_F(VideoEffectsList, WhilePlayingEachChangeIsSentAsAddThenUpdate)
{
  effects.AttachFilter(&filter);
  playing = true;
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, 100, {});
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, 120, {});
  effects.Video_Effects_Text_Logo_Plus(16, 0, 0, false, "T", 0, 0, "Tahoma", 36, true, false,
                                       false, false, 0xFFFFFF);
  effects.Video_Effects_Text_Logo_Plus_Params_Transparency(16, 0);
  effects.Video_Effects_Text_Logo_Plus_Params_Update(16, true);

  ASSERT_EQ(filter.calls.size(), 5u);
  EXPECT_TRUE(filter.calls[0].add);
  EXPECT_EQ(filter.calls[0].effect._type, ef_lightness);
  EXPECT_EQ(filter.calls[0].effect.ID, 11);
  EXPECT_EQ(filter.calls[0].effect.pAmountI, 100);
  EXPECT_EQ(filter.calls[0].effect.pAmountD, 100.0);
  EXPECT_FALSE(filter.calls[1].add);
  EXPECT_EQ(filter.calls[1].effect.pAmountI, 120);
  EXPECT_TRUE(filter.calls[2].add);
  EXPECT_FALSE(filter.calls[3].add);
  EXPECT_EQ(filter.calls[3].effect.TextLogo.transp, 0u);
  EXPECT_FALSE(filter.calls[4].add);
  EXPECT_TRUE(filter.calls[4].effect.Enabled);
}

TEST_F(VideoEffectsList, ChangesWhileNotPlayingWaitForTheNextAttach)
{
  effects.AttachFilter(&filter);  // paused pipeline
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, 100, {});
  effects.Video_Effect_Ex(15, 0, 0, true, ef_greyscale, 0, {});
  EXPECT_TRUE(filter.calls.empty());

  // Stop, then play again: the rebuilt pipeline gets every descriptor in list order.
  effects.DetachFilter();
  RecordingFilter rebuilt;
  effects.AttachFilter(&rebuilt);
  ASSERT_EQ(rebuilt.calls.size(), 2u);
  EXPECT_TRUE(rebuilt.calls[0].add && rebuilt.calls[1].add);
  EXPECT_EQ(rebuilt.calls[0].effect.ID, 11);
  EXPECT_EQ(rebuilt.calls[1].effect.ID, 15);
}

TEST_F(VideoEffectsList, PlayingWithoutFilterKeepsChangesInTheList)
{
  playing = true;
  effects.Video_Effect_Ex(11, 0, 0, true, ef_lightness, 100, {});
  EXPECT_EQ(effects.Items().size(), 1u);
}

TEST_F(VideoEffectsList, ClearDetachesAndEmptiesTheListSoNextCallStartsFresh)
{
  effects.AttachFilter(&filter);
  playing = true;
  effects.Video_Effects_Text_Logo_Plus(16, 0, 0, true, "A", 0, 0, "Tahoma", 36, true, false,
                                       false, false, 0);
  effects.Video_Effects_Text_Logo_Plus_Params_Transparency(16, 0);
  effects.Video_Effects_Clear();
  EXPECT_TRUE(effects.Items().empty());
  EXPECT_FALSE(effects.HasFilter());

  const std::size_t sent = filter.calls.size();
  effects.Video_Effects_Text_Logo_Plus(16, 0, 0, false, "B", 0, 0, "Tahoma", 36, true, false,
                                       false, false, 0);
  EXPECT_EQ(filter.calls.size(), sent);  // detached: nothing more is sent
  EXPECT_EQ(effects.Find(16)->TextLogo.transp, 255u);
}
