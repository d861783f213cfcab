// GStreamer's leaks tracer, read from the process it runs in: the player's leak test and the
// video-opening fuzz target use it to see GStreamer objects that outlive a player.
#pragma once

#include <gst/gst.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace playertest {

// The leaks tracer GStreamer was started with (GST_TRACERS=leaks, set before gst_init);
// null when it was not.
//
// Only the tracer's activity records are read: the type name and address of each object
// created and destroyed, which the tracer writes down under its own lock when it happens.
// Its list of live objects is not used: that list hands out the objects themselves, and
// GLib takes a reference on each while copying the answer, outside the tracer's lock; an
// object that another thread is finalising at that moment is then touched after it was
// freed.
class LeaksTracer {
 public:
  LeaksTracer();
  ~LeaksTracer();
  LeaksTracer(const LeaksTracer &) = delete;
  LeaksTracer &operator=(const LeaksTracer &) = delete;

  explicit operator bool() const { return tracer_ != nullptr; }

  // Starts counting anew: objects alive now are never reported.
  void StartTracking();

  // The type of every GstObject and GstMiniObject created since StartTracking and not
  // destroyed yet, one entry per object.
  //
  // The records carry no order within one reading, so an object alive before
  // StartTracking that is destroyed, followed by one of the same type at the same address
  // before the next reading, can hide the newer one: this may miss such a leak, never
  // report one that is not there.
  std::vector<GType> ObjectsCreatedSinceStart();

  // Runs the UI event loop until ObjectsCreatedSinceStart() holds none that `counts`
  // accepts, or boundMs have passed; returns those left at the end. Once every element is
  // gone, what a thread of GStreamer's pool still drops (a task it ran, after the task's
  // element was finalised) goes within moments; a leak stays.
  std::vector<GType> WaitUntilGone(const std::function<bool(GType)> &counts, int boundMs);

 private:
  GstTracer *tracer_ = nullptr;
  bool tracking_ = false;
  // Objects created since StartTracking and not seen destroyed: (address, type name) ->
  // how many (an address freed and used again for the same type within one reading).
  std::map<std::pair<std::string, std::string>, int> created_;
};

}  // namespace playertest
