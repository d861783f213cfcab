// Every GstElement this process creates, followed until GStreamer finalises it: a tracer
// hook of our own places a weak reference on each element as it is made. A check that asks
// what is left after a player is gone first waits here until no element is alive, so that
// no GStreamer thread is still taking a pipeline apart while it looks. The weak references
// take no reference of their own, so an element being finalised is never touched.
//
// Threads: the hook and the weak reference callbacks run on whatever thread creates or
// finalises an element; they touch only state under this object's mutex. The other
// members run on the UI thread.
#pragma once

#include <QStringList>

namespace playertest {

class ElementLifetimes {
 public:
  // The one instance, made at the first call and never destroyed (GStreamer cannot take a
  // hook back). The first call must come after gst_init and before any pipeline runs: the
  // hook table is not safe to change while other threads read it.
  static ElementLifetimes &Instance();

  // From now on, only elements created after this call count.
  void StartWatching();

  // The type and name of each element created since StartWatching and not finalised yet.
  QStringList Alive() const;

  // Runs the UI event loop until every element created since StartWatching has been
  // finalised, or boundMs have passed; returns Alive() at the end (empty when all went).
  QStringList WaitUntilNoneAlive(int boundMs);

 private:
  ElementLifetimes();
};

}  // namespace playertest
