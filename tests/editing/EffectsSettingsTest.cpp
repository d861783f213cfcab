// The Effects tab's rules against a recording player, then against the player's real effect
// list and a playing video.
#include "EffectsSettings.h"
#include "EffectsTarget.h"
#include "TestDoubles.h"

#include "PlayerTestSupport.h"
#include "TVFMediaPlayer.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

using editing::EffectsSettings;

// Records the player calls as text, interleaved with the log lines written before each
// call (their text after the time stamp), so that tests see the order of both.
class RecordingPlayer : public editing::IEffectsTarget {
 public:
  // The log whose lines are interleaved; set before the first call.
  const core::TActivityLog *Log = nullptr;

  void Video_Effect_Ex(int ID, int StartTime, int StopTime, bool Enabled,
                       player::TVFEffectType Effect, double Amount,
                       const QString &AdditionalParams) override
  {
    Add(QStringLiteral("Video_Effect_Ex(%1, %2, %3, %4, %5, %6, \"%7\")")
            .arg(ID).arg(StartTime).arg(StopTime).arg(Text(Enabled)).arg(int(Effect)).arg(Amount)
            .arg(AdditionalParams));
  }

  void Video_Effects_Text_Logo_Plus(int ID, int StartTime, int StopTime, bool Enabled,
                                    const QString &text, int X, int Y, const QString &FontName,
                                    int FontSize, bool Bold, bool Italic, bool Underline,
                                    bool StrikeOut, int FontColor) override
  {
    Add(QStringLiteral("Text_Logo_Plus(%1, %2, %3, %4, \"%5\", %6, %7, \"%8\", %9, ")
            .arg(ID).arg(StartTime).arg(StopTime).arg(Text(Enabled)).arg(text).arg(X).arg(Y)
            .arg(FontName).arg(FontSize)
        + QStringLiteral("%1, %2, %3, %4, 0x%5)")
              .arg(Text(Bold), Text(Italic), Text(Underline), Text(StrikeOut))
              .arg(FontColor, 6, 16, QLatin1Char('0')));
  }

  void Video_Effects_Text_Logo_Plus_Params_Transparency(int ID, int Transparency) override
  {
    Add(QStringLiteral("Transparency(%1, %2)").arg(ID).arg(Transparency));
  }

  void Video_Effects_Text_Logo_Plus_Params_Update(int ID, bool Enabled) override
  {
    Add(QStringLiteral("Update(%1, %2)").arg(ID).arg(Text(Enabled)));
  }

  // Everything since the last call of Take.
  QStringList Take()
  {
    TakeLogLines();
    QStringList events;
    events.swap(FEvents);
    return events;
  }

 private:
  static QString Text(bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); }

  void Add(const QString &call)
  {
    TakeLogLines();
    FEvents << call;
  }

  void TakeLogLines()
  {
    for (; FLogLinesSeen < Log->Count(); ++FLogLinesSeen) {
      const QString &line = Log->Lines()[FLogLinesSeen];
      FEvents << line.mid(line.indexOf(QStringLiteral(" ---> ")));
    }
  }

  int FLogLinesSeen = 0;
  QStringList FEvents;
};

// Scripted prompts that also keep the font and colour each font dialog opened with.
class FontPrompts : public core::ScriptedPrompts {
 public:
  std::vector<editing::OverlayFont> Opened;

  bool ChooseFont(QFont &font, QColor &color) override
  {
    Opened.push_back({font, color});
    return ScriptedPrompts::ChooseFont(font, color);
  }
};

// Pointer and keyboard input as Qt delivers it to a widget.
void SendMouse(QWidget *widget, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

void PointerClick(QWidget *widget, Qt::MouseButton button = Qt::LeftButton)
{
  const QPoint centre = widget->rect().center();
  SendMouse(widget, QEvent::MouseButtonPress, button, centre);
  SendMouse(widget, QEvent::MouseButtonRelease, button, centre);
}

// Space pressed and released on a focused button: activation without the pointer.
void KeyboardActivate(QWidget *widget)
{
  QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QApplication::sendEvent(widget, &press);
  QApplication::sendEvent(widget, &release);
}

// The tab's controls with the main window's initial values, wired to the settings as the
// window wires them.
struct EffectsTab {
  QWidget page;
  QSlider *tbLightness = Slider(0);
  QSlider *tbSaturation = Slider(255);
  QSlider *tbContrast = Slider(0);
  QSlider *tbDarkness = Slider(0);
  QCheckBox *cbGreyscale = new QCheckBox(QStringLiteral("Greyscale"), &page);
  QPushButton *Button1 = Button(QStringLiteral("Reset"));
  QCheckBox *cbTextLogo = new QCheckBox(QStringLiteral("Enabled"), &page);
  QLineEdit *edTextLogo = new QLineEdit(QStringLiteral("My Text"), &page);
  QPushButton *btFont = Button(QStringLiteral("Font"));
  QLineEdit *edTextLogoLeft = new QLineEdit(QStringLiteral("50"), &page);
  QLineEdit *edTextLogoTop = new QLineEdit(QStringLiteral("50"), &page);
  QPushButton *btTextLogoUpdateParams = Button(QStringLiteral("Update"));
  core::TActivityLog log;
  FontPrompts prompts;
  std::unique_ptr<EffectsSettings> settings;

  explicit EffectsTab(editing::IEffectsTarget &player)
  {
    settings = std::make_unique<EffectsSettings>(
        editing::EffectsControls{tbLightness, tbSaturation, tbContrast, tbDarkness,
                                 cbGreyscale, Button1, cbTextLogo, edTextLogo, btFont,
                                 edTextLogoLeft, edTextLogoTop, btTextLogoUpdateParams},
        player, log, prompts);
    EffectsSettings *s = settings.get();
    QObject::connect(tbLightness, &QSlider::valueChanged, s, &EffectsSettings::tbLightnessChange);
    QObject::connect(tbSaturation, &QSlider::valueChanged, s, &EffectsSettings::tbSaturationChange);
    QObject::connect(tbContrast, &QSlider::valueChanged, s, &EffectsSettings::tbContrastChange);
    QObject::connect(tbDarkness, &QSlider::valueChanged, s, &EffectsSettings::tbDarknessChange);
    QObject::connect(cbGreyscale, &QCheckBox::toggled, s, &EffectsSettings::cbGreyscaleClick);
    QObject::connect(Button1, &QPushButton::clicked, s, &EffectsSettings::Button1Click);
    QObject::connect(cbTextLogo, &QCheckBox::toggled, s, &EffectsSettings::cbTextLogoClick);
    QObject::connect(btFont, &QPushButton::clicked, s, &EffectsSettings::btFontClick);
    QObject::connect(btTextLogoUpdateParams, &QPushButton::clicked, s,
                     &EffectsSettings::btTextLogoUpdateParamsClick);
    QObject::connect(edTextLogo, &QLineEdit::textChanged, s, &EffectsSettings::edTextLogoChange);
    QObject::connect(edTextLogoLeft, &QLineEdit::textChanged, s,
                     &EffectsSettings::edTextLogoLeftChange);
    QObject::connect(edTextLogoTop, &QLineEdit::textChanged, s,
                     &EffectsSettings::edTextLogoTopChange);
  }

 private:
  QSlider *Slider(int value)
  {
    auto *slider = new QSlider(Qt::Horizontal, &page);
    slider->setRange(0, 255);
    slider->setValue(value);
    return slider;
  }

  QPushButton *Button(const QString &text)
  {
    auto *button = new QPushButton(text, &page);
    button->setGeometry(0, 0, 80, 25);
    return button;
  }
};

struct EffectsSettingsTest : ::testing::Test {
  RecordingPlayer recorder;
  std::unique_ptr<EffectsTab> tab = std::make_unique<EffectsTab>(recorder);

  EffectsSettingsTest() { recorder.Log = &tab->log; }

  QStringList Events() { return recorder.Take(); }
};

const QString DefaultOverlay = QStringLiteral(
    "Text_Logo_Plus(16, 0, 0, false, \"My Text\", 50, 50, \"Tahoma\", 36, true, false, false, "
    "false, 0xffffff)");

TEST_F(EffectsSettingsTest, EverySliderPositionCallsItsEffectEnabledWithoutLogging)
{
  struct Case {
    QSlider *slider;
    int id;
    int effect;
  };
  const Case cases[] = {{tab->tbLightness, 11, 18},
                        {tab->tbSaturation, 12, 26},
                        {tab->tbContrast, 13, 5},
                        {tab->tbDarkness, 14, 6}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.id);
    for (int position : {100, 0, 255}) {
      c.slider->setValue(position);
      EXPECT_EQ(Events(), QStringList{QStringLiteral("Video_Effect_Ex(%1, 0, 0, true, %2, %3, \"\")")
                                          .arg(c.id).arg(c.effect).arg(position)});
    }
  }
  EXPECT_EQ(tab->log.Count(), 0);
}

TEST_F(EffectsSettingsTest, KeyboardStepsFrom0To255CallOncePerStep)
{
  QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
  for (int step = 0; step < 256; ++step)  // the last press at the end moves nothing
    QApplication::sendEvent(tab->tbLightness, &right);
  const QStringList events = Events();
  ASSERT_EQ(events.size(), 255);
  EXPECT_EQ(events.first(), QStringLiteral("Video_Effect_Ex(11, 0, 0, true, 18, 1, \"\")"));
  EXPECT_EQ(events.last(), QStringLiteral("Video_Effect_Ex(11, 0, 0, true, 18, 255, \"\")"));
}

TEST_F(EffectsSettingsTest, GreyscaleClickLogsThenSwitchesTheEffect)
{
  tab->cbGreyscale->click();
  tab->cbGreyscale->click();
  EXPECT_EQ(Events(), (QStringList{
                          QStringLiteral(" ---> Checking Greyscale box"),
                          QStringLiteral("Video_Effect_Ex(15, 0, 0, true, 16, 0, \"\")"),
                          QStringLiteral(" ---> Checking Greyscale box"),
                          QStringLiteral("Video_Effect_Ex(15, 0, 0, false, 16, 0, \"\")"),
                      }));
}

TEST_F(EffectsSettingsTest, ResetRestoresChangedControlsInOrderAndLogsTheReleaseLast)
{
  tab->tbLightness->setValue(10);
  tab->tbSaturation->setValue(20);
  tab->tbContrast->setValue(30);
  tab->tbDarkness->setValue(40);
  tab->cbGreyscale->setChecked(true);
  Events();

  PointerClick(tab->Button1);
  EXPECT_EQ(Events(), (QStringList{
                          QStringLiteral("Video_Effect_Ex(11, 0, 0, true, 18, 0, \"\")"),
                          QStringLiteral("Video_Effect_Ex(12, 0, 0, true, 26, 255, \"\")"),
                          QStringLiteral("Video_Effect_Ex(13, 0, 0, true, 5, 0, \"\")"),
                          QStringLiteral("Video_Effect_Ex(14, 0, 0, true, 6, 0, \"\")"),
                          QStringLiteral(" ---> Checking Greyscale box"),
                          QStringLiteral("Video_Effect_Ex(15, 0, 0, false, 16, 0, \"\")"),
                          QStringLiteral(" ---> Reset Effects button clicked"),
                      }));
  EXPECT_FALSE(tab->cbGreyscale->isChecked());

  // Only what differs from the reset values is put back.
  tab->tbContrast->setValue(7);
  Events();
  KeyboardActivate(tab->Button1);
  EXPECT_EQ(Events(), QStringList{QStringLiteral("Video_Effect_Ex(13, 0, 0, true, 5, 0, \"\")")});
}

TEST_F(EffectsSettingsTest, ResetAtTheResetValuesCallsNothing)
{
  PointerClick(tab->Button1);
  EXPECT_EQ(Events(), QStringList{QStringLiteral(" ---> Reset Effects button clicked")});
  KeyboardActivate(tab->Button1);
  EXPECT_EQ(Events(), QStringList{});
}

// The release line belongs to the pointer release, also when the release activates nothing.
TEST_F(EffectsSettingsTest, ReleasesThatDoNotActivateResetStillLog)
{
  tab->tbLightness->setValue(10);
  Events();

  PointerClick(tab->Button1, Qt::RightButton);
  SendMouse(tab->Button1, QEvent::MouseButtonPress, Qt::LeftButton, {5, 5});
  SendMouse(tab->Button1, QEvent::MouseButtonRelease, Qt::LeftButton, {500, 500});
  // A release that was not pressed on the button is none of its business.
  SendMouse(tab->Button1, QEvent::MouseButtonRelease, Qt::LeftButton, {5, 5});

  EXPECT_EQ(Events(), (QStringList{QStringLiteral(" ---> Reset Effects button clicked"),
                                   QStringLiteral(" ---> Reset Effects button clicked")}));
  EXPECT_EQ(tab->tbLightness->value(), 10);
}

TEST_F(EffectsSettingsTest, UpdateStoresTheOverlayDisabledThenShowsItPerTheBox)
{
  PointerClick(tab->btTextLogoUpdateParams);
  EXPECT_EQ(Events(), (QStringList{DefaultOverlay, QStringLiteral("Transparency(16, 0)"),
                                   QStringLiteral("Update(16, false)"),
                                   QStringLiteral(" ---> Update Overlayed Text button clicked")}));

  tab->cbTextLogo->setChecked(true);
  Events();
  KeyboardActivate(tab->btTextLogoUpdateParams);
  EXPECT_EQ(Events(), (QStringList{DefaultOverlay, QStringLiteral("Transparency(16, 0)"),
                                   QStringLiteral("Update(16, true)")}));
}

TEST_F(EffectsSettingsTest, EnabledBoxAppliesTheOverlayEvenWithEmptyText)
{
  tab->edTextLogo->clear();
  tab->cbTextLogo->click();
  EXPECT_EQ(Events(),
            (QStringList{QStringLiteral(" ---> Changing overlaying text"),
                         QStringLiteral(" ---> Text Overlay checkbox clicked"),
                         QStringLiteral("Text_Logo_Plus(16, 0, 0, false, \"\", 50, 50, "
                                        "\"Tahoma\", 36, true, false, false, false, 0xffffff)"),
                         QStringLiteral("Transparency(16, 0)"), QStringLiteral("Update(16, true)")}));
  tab->cbTextLogo->click();
  EXPECT_EQ(Events().last(), QStringLiteral("Update(16, false)"));
}

TEST_F(EffectsSettingsTest, TypingOnlyLogsAndTakesEffectAtTheNextApply)
{
  tab->edTextLogo->setText(QStringLiteral("Hi"));
  tab->edTextLogoLeft->setText(QStringLiteral("-10"));
  tab->edTextLogoTop->setText(QStringLiteral("7"));
  EXPECT_EQ(Events(), (QStringList{QStringLiteral(" ---> Changing overlaying text"),
                                   QStringLiteral(" ---> Overlayed text left position changed"),
                                   QStringLiteral(" ---> Overlayed text top position changed")}));
  tab->btTextLogoUpdateParams->click();
  EXPECT_EQ(Events().first(), QStringLiteral("Text_Logo_Plus(16, 0, 0, false, \"Hi\", -10, 7, "
                                             "\"Tahoma\", 36, true, false, false, false, "
                                             "0xffffff)"));
}

TEST_F(EffectsSettingsTest, PositionThatIsNotAnIntegerStopsBeforeAnyCall)
{
  struct Case {
    const char *left;
    const char *top;
    const char *message;
  };
  const Case cases[] = {
      {"abc", "50", "'abc' is not a valid integer value"},
      {"50", "", "'' is not a valid integer value"},
      {"1.5", "x", "'1.5' is not a valid integer value"},  // left is read first
      {"50", "99999999999", "'99999999999' is not a valid integer value"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.message);
    tab->edTextLogoLeft->setText(QString::fromLatin1(c.left));
    tab->edTextLogoTop->setText(QString::fromLatin1(c.top));
    Events();
    tab->prompts.Calls.clear();
    EXPECT_FALSE(tab->settings->ApplyTextOverlay());
    EXPECT_EQ(tab->prompts.Warnings(), QStringList{QString::fromLatin1(c.message)});
    EXPECT_EQ(Events(), QStringList{});
  }
}

TEST_F(EffectsSettingsTest, FontDialogOpensOnTheLastChoiceAndAppliesOnOk)
{
  QFont chosen(QStringLiteral("DejaVu Sans"));
  chosen.setPointSize(20);
  chosen.setItalic(true);
  chosen.setUnderline(true);
  chosen.setStrikeOut(true);
  tab->prompts.FontAnswers.push_back(std::make_pair(chosen, QColor(0x11, 0x22, 0x33)));

  tab->btFont->click();
  EXPECT_EQ(Events(), (QStringList{QStringLiteral(" ---> Font button clicked"),
                                   QStringLiteral("Text_Logo_Plus(16, 0, 0, false, \"My Text\", "
                                                  "50, 50, \"DejaVu Sans\", 20, false, true, "
                                                  "true, true, 0x332211)"),
                                   QStringLiteral("Transparency(16, 0)"),
                                   QStringLiteral("Update(16, false)")}));

  tab->btFont->click();  // cancelled: the overlay and the kept font stay
  EXPECT_EQ(Events(), QStringList{QStringLiteral(" ---> Font button clicked")});
  ASSERT_EQ(tab->prompts.Opened.size(), 2u);
  const editing::OverlayFont &initial = tab->prompts.Opened[0];
  EXPECT_EQ(initial.Font.family(), QStringLiteral("Tahoma"));
  EXPECT_EQ(initial.Font.pointSize(), 36);
  EXPECT_TRUE(initial.Font.bold());
  EXPECT_FALSE(initial.Font.italic() || initial.Font.underline() || initial.Font.strikeOut());
  EXPECT_EQ(initial.Color, QColor(Qt::white));
  EXPECT_EQ(tab->prompts.Opened[1].Font, chosen);
  EXPECT_EQ(tab->settings->FontDialog1().Font, chosen);
}

TEST_F(EffectsSettingsTest, CancellingTheFontDialogChangesNothing)
{
  tab->btFont->click();
  EXPECT_EQ(Events(), QStringList{QStringLiteral(" ---> Font button clicked")});
  tab->btTextLogoUpdateParams->click();
  EXPECT_EQ(Events().first(), DefaultOverlay);
}

// The same tab over the player's own effect list.
struct EffectsOnPlayerListTest : ::testing::Test {
  player::VideoEffects effects{[] { return false; }};
  editing::PlayerEffectsTarget target{effects};
  EffectsTab tab{target};
};

TEST_F(EffectsOnPlayerListTest, ResetAtResetValuesAndCancelledFontLeaveTheListEmpty)
{
  PointerClick(tab.Button1);
  tab.btFont->click();
  EXPECT_TRUE(effects.Items().empty());
}

// Opening a video clears the list; the controls keep their positions but nothing is in force
// until one of them changes again.
TEST_F(EffectsOnPlayerListTest, AfterAClearNothingIsInForceUntilAControlChanges)
{
  tab.tbLightness->setValue(100);
  tab.cbGreyscale->setChecked(true);
  tab.cbTextLogo->setChecked(true);
  ASSERT_EQ(effects.Items().size(), 3u);
  const player::CVFEffect *overlay = effects.Find(16);
  ASSERT_NE(overlay, nullptr);
  EXPECT_TRUE(overlay->Enabled);
  EXPECT_EQ(overlay->TextLogo.transp, 0u);
  EXPECT_EQ(overlay->TextLogo.font_size, 36);

  effects.Video_Effects_Clear();
  EXPECT_TRUE(effects.Items().empty());

  tab.tbLightness->setValue(101);
  ASSERT_EQ(effects.Items().size(), 1u);
  EXPECT_EQ(effects.Items()[0].ID, 11);
  EXPECT_EQ(effects.Items()[0].pAmountI, 101);
  EXPECT_TRUE(effects.Items()[0].Enabled);
}

using playertest::Bars;
using playertest::BarsOf;

TEST(EffectsOnPlayingVideo, GreyscaleBoxGreysTheFramesUntilTheNextOpen)
{
  using playertest::kHangMs;
  using playertest::WaitUntil;
  player::TVFMediaPlayer player;
  player.resize(320, 240);
  player.Video_Effects_Enabled = true;
  // Looping, so that the last change below still finds frames to grey however late it comes.
  player.Loop = true;
  player.FilenameOrURL = playertest::Sample("h264_640x480.mp4");
  editing::PlayerEffectsTarget target(player.Effects());
  EffectsTab tab(target);

  tab.cbGreyscale->click();
  ASSERT_TRUE(player.Play());
  EXPECT_TRUE(WaitUntil([&] { return BarsOf(player.Frame_GetCurrent()) == Bars::Grey; }, kHangMs));

  // As opening does: stop, close, clear, play. The box stays checked, the frames are in
  // colour again.
  player.Stop();
  player.Close();
  player.Effects().Video_Effects_Clear();
  ASSERT_TRUE(player.Play());
  EXPECT_TRUE(WaitUntil([&] { return BarsOf(player.Frame_GetCurrent()) == Bars::Colour; }, kHangMs));
  EXPECT_TRUE(tab.cbGreyscale->isChecked());

  // Clicking the box off and on again while playing greys the running video.
  tab.cbGreyscale->click();
  tab.cbGreyscale->click();
  EXPECT_TRUE(WaitUntil([&] { return BarsOf(player.Frame_GetCurrent()) == Bars::Grey; }, kHangMs));
  player.Stop();
}

}  // namespace
