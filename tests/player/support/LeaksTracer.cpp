#include "LeaksTracer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace playertest {

namespace {

// Calls fn(type name, address) for each entry of one list of an activity checkpoint.
template <typename Fn>
void ForEachRecord(const GstStructure *checkpoint, const char *field, Fn fn)
{
  const GValue *list = gst_structure_get_value(checkpoint, field);
  const guint size = list ? gst_value_list_get_size(list) : 0;
  for (guint i = 0; i < size; ++i) {
    const GValue *entry = gst_value_list_get_value(list, i);
    if (!entry || !GST_VALUE_HOLDS_STRUCTURE(entry))
      continue;
    const GstStructure *record = gst_value_get_structure(entry);
    const gchar *type = gst_structure_get_string(record, "type-name");
    const gchar *address = gst_structure_get_string(record, "address");
    if (type && address)
      fn(std::string(type), std::string(address));
  }
}

}  // namespace

LeaksTracer::LeaksTracer()
{
  GList *tracers = gst_tracing_get_active_tracers();
  for (GList *item = tracers; item; item = item->next) {
    if (!tracer_ && g_strcmp0(G_OBJECT_TYPE_NAME(item->data), "GstLeaksTracer") == 0)
      tracer_ = GST_TRACER(gst_object_ref(item->data));
  }
  g_list_free_full(tracers, gst_object_unref);
}

LeaksTracer::~LeaksTracer()
{
  if (!tracer_)
    return;
  if (tracking_)
    g_signal_emit_by_name(tracer_, "activity-stop-tracking");
  gst_object_unref(tracer_);
}

void LeaksTracer::StartTracking()
{
  if (!tracer_)
    return;
  if (tracking_)
    g_signal_emit_by_name(tracer_, "activity-stop-tracking");
  g_signal_emit_by_name(tracer_, "activity-start-tracking");
  tracking_ = true;
  created_.clear();
}

std::vector<GType> LeaksTracer::ObjectsCreatedSinceStart()
{
  std::vector<GType> types;
  if (!tracer_ || !tracking_)
    return types;
  // Returns what happened since the last checkpoint (or the start) and begins a new one.
  GstStructure *checkpoint = nullptr;
  g_signal_emit_by_name(tracer_, "activity-get-checkpoint", &checkpoint);
  if (!checkpoint)
    return types;
  ForEachRecord(checkpoint, "objects-created-list",
                [this](const std::string &type, const std::string &address) {
                  ++created_[{address, type}];
                });
  // An object destroyed that was not counted was created before StartTracking.
  ForEachRecord(checkpoint, "objects-removed-list",
                [this](const std::string &type, const std::string &address) {
                  const auto found = created_.find({address, type});
                  if (found != created_.end() && --found->second == 0)
                    created_.erase(found);
                });
  gst_structure_free(checkpoint);
  for (const auto &[key, count] : created_) {
    const GType type = g_type_from_name(key.second.c_str());
    for (int i = 0; i < count; ++i)
      types.push_back(type);
  }
  return types;
}

std::vector<GType> LeaksTracer::WaitUntilGone(const std::function<bool(GType)> &counts,
                                              int boundMs)
{
  QElapsedTimer timer;
  timer.start();
  for (;;) {
    std::vector<GType> left;
    for (GType type : ObjectsCreatedSinceStart())
      if (counts(type))
        left.push_back(type);
    if (left.empty() || timer.elapsed() >= boundMs)
      return left;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    g_usleep(5000);
  }
}

}  // namespace playertest
