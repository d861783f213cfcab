#include "ConversionState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>

namespace {

// Built over storage full of junk, so a field without an initialiser shows up as junk.
TEST(ConversionStateTest, EveryFieldStartsEmpty)
{
  alignas(core::ConversionState) unsigned char storage[sizeof(core::ConversionState)];
  std::memset(storage, 0xA5, sizeof storage);
  auto* state = new (storage) core::ConversionState;

  for (int value : {state->ClipStartMs, state->ClipEndMs, state->FDuration, state->SourceWidth,
                    state->SourceHeight, state->DisplayWidth, state->DisplayHeight,
                    state->DisplayLeft, state->DisplayTop, state->CropLeft, state->CropTop,
                    state->CropWidth, state->CropHeight, state->GifWidth, state->GifHeight})
    EXPECT_EQ(value, 0);
  EXPECT_EQ(state->FitWidth, 0.0);
  EXPECT_EQ(state->FitHeight, 0.0);
  EXPECT_EQ(state->PlayerState, 0);
  for (bool flag : {state->ClipBounded, state->StepBusy, state->ClosingDone,
                    state->FfdshowHintShown, state->CodecPackMissing})
    EXPECT_FALSE(flag);
  EXPECT_EQ(state->GrabBitmap, nullptr);
  EXPECT_TRUE(state->FrameList.empty());
  EXPECT_EQ(state->FImage, nullptr);
  EXPECT_TRUE(state->WorkDir.isEmpty());
  EXPECT_TRUE(state->ReportDataDir.isEmpty());
  EXPECT_TRUE(state->OpenFilter.isEmpty());

  state->~ConversionState();
}

}  // namespace
