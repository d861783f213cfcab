// GStreamer's leaks tracer, read from the process it runs in: the player's leak test and the
// video-opening fuzz target use it to see GStreamer objects that outlive a player.
#pragma once

#include <gst/gst.h>

#include <vector>

namespace playertest {

// The leaks tracer GStreamer was started with (GST_TRACERS=leaks, set before gst_init);
// null when it was not.
class LeaksTracer {
 public:
  LeaksTracer();
  ~LeaksTracer();
  LeaksTracer(const LeaksTracer &) = delete;
  LeaksTracer &operator=(const LeaksTracer &) = delete;

  explicit operator bool() const { return tracer_ != nullptr; }

  // The type of every live GstObject and GstMiniObject, one entry per object. Looks only at
  // the type each object is stored under, never into an object, so one being freed
  // meanwhile on another thread is harmless.
  std::vector<GType> LiveObjectTypes() const;

 private:
  GstTracer *tracer_ = nullptr;
};

}  // namespace playertest
