#include "ElementLifetimes.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gst/gst.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace playertest {

namespace {

// What the hook, the weak references and the members share; made by the one instance.
struct TState {
  mutable std::mutex mutex;
  std::condition_variable finalised;
  std::uint64_t epoch = 0;  // bumped by StartWatching
  // Elements not finalised yet, with the epoch they were created in.
  std::unordered_map<GstElement *, std::uint64_t> alive;

  int CountCurrent() const
  {
    int count = 0;
    for (const auto &entry : alive)
      count += entry.second == epoch ? 1 : 0;
    return count;
  }
};

// A tracer of our own: GStreamer calls hooks only through a tracer object.
struct TElementHookTracer {
  GstTracer parent;
};
struct TElementHookTracerClass {
  GstTracerClass parent_class;
};

G_DEFINE_TYPE(TElementHookTracer, quorvane_element_hook_tracer, GST_TYPE_TRACER)

void quorvane_element_hook_tracer_class_init(TElementHookTracerClass *) {}
void quorvane_element_hook_tracer_init(TElementHookTracer *) {}

TState *TheState = nullptr;  // set once by the instance, never freed

// Any thread: the weak reference's callback, while the element is being disposed.
void OnElementFinalised(gpointer, GObject *object)
{
  std::lock_guard lock(TheState->mutex);
  TheState->alive.erase(reinterpret_cast<GstElement *>(object));
  TheState->finalised.notify_all();
}

// Any thread: the "object-created" hook, when a GstObject has been constructed.
void OnObjectCreated(GstTracer *, GstClockTime, GstObject *object)
{
  if (!GST_IS_ELEMENT(object))
    return;
  {
    std::lock_guard lock(TheState->mutex);
    TheState->alive[GST_ELEMENT(object)] = TheState->epoch;
  }
  g_object_weak_ref(G_OBJECT(object), &OnElementFinalised, nullptr);
}

}  // namespace

ElementLifetimes &ElementLifetimes::Instance()
{
  static ElementLifetimes *instance = new ElementLifetimes;
  return *instance;
}

ElementLifetimes::ElementLifetimes()
{
  TheState = new TState;
  auto *tracer = static_cast<GstTracer *>(g_object_new(quorvane_element_hook_tracer_get_type(), nullptr));
  gst_object_ref_sink(tracer);
  // The hook table keeps its own reference for the rest of the process.
  gst_tracing_register_hook(tracer, "object-created", G_CALLBACK(&OnObjectCreated));
  gst_object_unref(tracer);
}

void ElementLifetimes::StartWatching()
{
  std::lock_guard lock(TheState->mutex);
  ++TheState->epoch;
}

QStringList ElementLifetimes::Alive() const
{
  QStringList names;
  std::lock_guard lock(TheState->mutex);
  for (const auto &[element, epoch] : TheState->alive) {
    if (epoch != TheState->epoch)
      continue;
    // Still valid: finalising it would first have to take the lock held now. The name is
    // read without the element's own lock.
    const gchar *name = GST_OBJECT_NAME(element);
    names << QStringLiteral("%1 %2").arg(QString::fromUtf8(G_OBJECT_TYPE_NAME(element)),
                                         QString::fromUtf8(name ? name : "?"));
  }
  names.sort();
  return names;
}

QStringList ElementLifetimes::WaitUntilNoneAlive(int boundMs)
{
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    {
      std::unique_lock lock(TheState->mutex);
      if (TheState->CountCurrent() == 0)
        return {};
      if (timer.elapsed() >= boundMs)
        break;
      TheState->finalised.wait_for(lock, std::chrono::milliseconds(10));
    }
    // What the UI thread still has queued (a deferred deletion, a queued call) may hold the
    // last reference.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return Alive();
}

}  // namespace playertest
