// The effects stage of the video path: applies the effect descriptors to each frame and
// draws the text overlay, before the frame is stored for display and capture.
//
// Threads: AddEffect, UpdateEffect, RemoveEffect and Clear run on the UI thread (called by
// the player's VideoEffects). Each builds a new immutable snapshot of the prepared effects
// (lookup tables, overlay fonts and colours) and swaps it in under a mutex. Apply runs on
// the GStreamer streaming thread: it takes the current snapshot under the same mutex, lets
// go of the lock, and works on the frame with that snapshot, so a frame is always processed
// with one consistent set of effects and a change never waits for a frame to finish.
#pragma once

#include "VideoEffects.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace player {

class EffectsStage final : public IEffectsFilter {
 public:
  EffectsStage();
  ~EffectsStage() override;

  // UI thread.
  void AddEffect(const CVFEffect &effect) override;
  // Replaces the descriptor with this ID (the first one); an unknown ID is added.
  void UpdateEffect(const CVFEffect &effect) override;
  void RemoveEffect(int ID);
  void Clear();

  // Any thread: the descriptors of the current snapshot, in the order received.
  std::vector<CVFEffect> Effects() const;

  // Streaming thread. frame must be Format_RGB32 (BGRx in memory); it is changed in place
  // (an image wrapping a mapped buffer stays wrapped: nothing here detaches it).
  // positionMs is the frame's stream time, used only by descriptors with a time window.
  // Other formats are left untouched.
  void Apply(QImage &frame, std::int64_t positionMs = 0) const;

 private:
  struct Prepared;  // the snapshot; immutable once published
  void Publish(std::vector<CVFEffect> effects);  // UI thread: prepare and swap in

  std::vector<CVFEffect> effects_;  // UI thread's working copy
  mutable std::mutex snapshotMutex_;
  std::shared_ptr<const Prepared> snapshot_;  // guarded by snapshotMutex_
};

}  // namespace player
