#include "LeaksTracer.h"

namespace playertest {

namespace {

const GValue *EntryObject(const GValue *list, guint index)
{
  const GValue *entry = gst_value_list_get_value(list, index);
  if (!entry || !GST_VALUE_HOLDS_STRUCTURE(entry))
    return nullptr;
  return gst_structure_get_value(gst_value_get_structure(entry), "object");
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
  if (tracer_)
    gst_object_unref(tracer_);
}

std::vector<GType> LeaksTracer::LiveObjectTypes() const
{
  std::vector<GType> types;
  if (!tracer_)
    return types;
  // GStreamer 1.22.0 stores the live objects in the result without taking a reference, yet
  // freeing the result drops one. A marker object of our own shows which way this tracer
  // works; when the references are borrowed (or the marker is not listed) they are cleared
  // before the free, so at worst a reference is kept, never one dropped twice.
  GstBus *marker = gst_bus_new();
  GstStructure *info = nullptr;
  g_signal_emit_by_name(tracer_, "get-live-objects", &info);
  if (!info) {
    gst_object_unref(marker);
    return types;
  }
  bool resultOwnsReferences = false;
  const GValue *list = gst_structure_get_value(info, "live-objects-list");
  const guint size = list ? gst_value_list_get_size(list) : 0;
  for (guint i = 0; i < size; ++i) {
    const GValue *object = EntryObject(list, i);
    if (!object)
      continue;
    if (G_VALUE_HOLDS_OBJECT(object) && g_value_get_object(object) == marker) {
      resultOwnsReferences = GST_OBJECT_REFCOUNT_VALUE(marker) > 1;
      continue;
    }
    types.push_back(G_VALUE_TYPE(object));
  }
  if (!resultOwnsReferences) {
    // Both the object and the boxed GValue free functions skip a null pointer.
    for (guint i = 0; i < size; ++i)
      if (auto *object = const_cast<GValue *>(EntryObject(list, i)))
        object->data[0].v_pointer = nullptr;
  }
  gst_structure_free(info);
  gst_object_unref(marker);
  return types;
}

}  // namespace playertest
