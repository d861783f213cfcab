// Knows which elements of the player's pipelines GStreamer has not finalised yet, so that
// freeing a pipeline can wait until nothing of it is left.
//
// Setting a pipeline to NULL stops its streaming threads, but not every reference to its
// elements goes with them: GStreamer's thread pool for asynchronous element calls (a bin
// finishing an asynchronous state change) may hold the pipeline for a moment and then drop
// the last reference there, finalising every element, pad and buffer on that thread. A new
// pipeline started meanwhile would run beside the remains of the old one.
//
// Threads: Watch, WaitUntilReleased and the destructor run on the UI thread. The weak
// reference callbacks run on whatever thread finalises an element, and the element-added
// callback on whatever thread adds one to the pipeline (often a streaming thread); both
// touch only the shared State, under its mutex. Every callback registration holds a
// reference to State, so a callback that comes after this object is gone still finds it.
#pragma once

#include <gst/gst.h>

#include <chrono>
#include <memory>

namespace player {

class ElementReleaseWatch {
 public:
  ElementReleaseWatch();
  ~ElementReleaseWatch();
  ElementReleaseWatch(const ElementReleaseWatch &) = delete;
  ElementReleaseWatch &operator=(const ElementReleaseWatch &) = delete;

  // UI thread, right after the pipeline was made and before it leaves NULL: watches the
  // pipeline, the elements it holds now and every element added to it, at any depth, later.
  void Watch(GstElement *pipeline);

  // UI thread. Blocks until every watched element has been finalised, or bound has passed.
  // Elements still alive then are named in a warning and no longer waited for (GStreamer
  // lost them, or something outside the player holds them). True when none was left.
  bool WaitUntilReleased(std::chrono::milliseconds bound);

  // What the callbacks share (defined in the source file).
  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace player
