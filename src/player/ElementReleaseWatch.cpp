#include "ElementReleaseWatch.h"

#include <QStringList>
#include <QtDebug>

#include <condition_variable>
#include <mutex>
#include <unordered_set>

namespace player {

struct ElementReleaseWatch::State {
  std::mutex mutex;
  std::condition_variable released;  // signalled when waitingFor becomes empty
  // Watched elements not finalised yet; a weak reference of ours is on each.
  std::unordered_set<GstElement *> waitingFor;
  // Elements that outlived a wait: still watched, no longer waited for.
  std::unordered_set<GstElement *> givenUp;
};

namespace {

using StatePtr = std::shared_ptr<ElementReleaseWatch::State>;

// Any thread: the weak reference's callback, called while the element is being disposed.
void OnFinalized(gpointer data, GObject *object)
{
  auto *held = static_cast<StatePtr *>(data);
  const StatePtr state = std::move(*held);
  delete held;
  auto *element = reinterpret_cast<GstElement *>(object);
  std::lock_guard lock(state->mutex);
  state->givenUp.erase(element);
  if (state->waitingFor.erase(element) > 0 && state->waitingFor.empty())
    state->released.notify_all();
}

// Any thread; the caller holds element alive. Watching the same element twice (a sink
// moved from one bin to another) places one weak reference.
void WatchElement(const StatePtr &state, GstElement *element)
{
  {
    std::lock_guard lock(state->mutex);
    if (state->givenUp.count(element) > 0 || !state->waitingFor.insert(element).second)
      return;
  }
  // Outside the lock: GLib takes its own lock here, and a finalising thread takes ours
  // inside GLib's weak reference handling.
  g_object_weak_ref(G_OBJECT(element), &OnFinalized, new StatePtr(state));
}

// "deep-element-added" of the pipeline, on the thread that added the element.
void OnDeepElementAdded(GstBin *, GstBin *, GstElement *element, gpointer data)
{
  WatchElement(*static_cast<StatePtr *>(data), element);
}

}  // namespace

ElementReleaseWatch::ElementReleaseWatch() : state_(std::make_shared<State>()) {}

ElementReleaseWatch::~ElementReleaseWatch() = default;

void ElementReleaseWatch::Watch(GstElement *pipeline)
{
  WatchElement(state_, pipeline);
  g_signal_connect_data(
      pipeline, "deep-element-added", G_CALLBACK(&OnDeepElementAdded), new StatePtr(state_),
      [](gpointer data, GClosure *) { delete static_cast<StatePtr *>(data); },
      static_cast<GConnectFlags>(0));
  if (!GST_IS_BIN(pipeline))
    return;
  GstIterator *children = gst_bin_iterate_recurse(GST_BIN(pipeline));
  GValue item = G_VALUE_INIT;
  while (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
    WatchElement(state_, GST_ELEMENT(g_value_get_object(&item)));
    g_value_reset(&item);
  }
  g_value_unset(&item);
  gst_iterator_free(children);
}

bool ElementReleaseWatch::WaitUntilReleased(std::chrono::milliseconds bound)
{
  std::unique_lock lock(state_->mutex);
  if (state_->released.wait_for(lock, bound, [this] { return state_->waitingFor.empty(); }))
    return true;
  // Each element left is still valid here: its finalisation would first have to take the
  // lock held now. Only the type and the name are read, without taking the element's lock.
  QStringList left;
  for (GstElement *element : state_->waitingFor) {
    const gchar *name = GST_OBJECT_NAME(element);
    left << QStringLiteral("%1 %2").arg(QString::fromUtf8(G_OBJECT_TYPE_NAME(element)),
                                        QString::fromUtf8(name ? name : "?"));
    state_->givenUp.insert(element);
  }
  state_->waitingFor.clear();
  qWarning().noquote() << "GStreamer has not released these elements of a freed pipeline after"
                       << bound.count() << "ms:" << left.join(QStringLiteral(", "));
  return false;
}

}  // namespace player
