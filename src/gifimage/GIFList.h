// Owning list of GIF items: deleting an item or clearing the list frees the items.
#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "GIFException.h"
#include "GifStream.h"

namespace gifimage {

class TGIFImage;

template <class TItem>
class TGIFList {
 public:
  explicit TGIFList(TGIFImage* image) : FImage(image) {}
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  int Count() const { return static_cast<int>(FItems.size()); }
  TItem* Items(int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
  TItem* operator[](int index) const { return Items(index); }
  TItem* First() const { return FItems.empty() ? nullptr : FItems.front().get(); }
  TItem* Last() const { return FItems.empty() ? nullptr : FItems.back().get(); }
  TGIFImage* Image() const { return FImage; }

  // Takes ownership; returns the item's index.
  int Add(std::unique_ptr<TItem> item) {
    FItems.push_back(std::move(item));
    return Count() - 1;
  }
  void Insert(int index, std::unique_ptr<TItem> item) {
    CheckIndex(index, Count());
    FItems.insert(FItems.begin() + index, std::move(item));
  }
  void Delete(int index) {
    CheckIndex(index, Count() - 1);
    FItems.erase(FItems.begin() + index);
  }
  // Takes the item out without freeing it; the caller owns it from then on.
  std::unique_ptr<TItem> Remove(TItem* item) {
    const int index = IndexOf(item);
    if (index < 0) return nullptr;
    std::unique_ptr<TItem> owned = std::move(FItems[static_cast<std::size_t>(index)]);
    FItems.erase(FItems.begin() + index);
    return owned;
  }
  void Clear() {
    // Items are freed from the last to the first; an item's destructor may still look at the
    // list, so it is emptied one item at a time.
    while (!FItems.empty()) {
      std::unique_ptr<TItem> item = std::move(FItems.back());
      FItems.pop_back();
    }
  }
  void Exchange(int a, int b) {
    CheckIndex(a, Count() - 1);
    CheckIndex(b, Count() - 1);
    std::swap(FItems[static_cast<std::size_t>(a)], FItems[static_cast<std::size_t>(b)]);
  }
  void Move(int from, int to) {
    CheckIndex(from, Count() - 1);
    CheckIndex(to, Count() - 1);
    std::unique_ptr<TItem> item = std::move(FItems[static_cast<std::size_t>(from)]);
    FItems.erase(FItems.begin() + from);
    FItems.insert(FItems.begin() + to, std::move(item));
  }
  int IndexOf(const TItem* item) const {
    for (std::size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  void SaveToStream(TStream& stream) const {
    for (const auto& item : FItems) item->SaveToStream(stream);
  }

  ~TGIFList() { Clear(); }

 private:
  static void CheckIndex(int index, int last) {
    if (index < 0 || index > last) throw GIFException(msg::ListIndexOutOfBounds);
  }
  std::vector<std::unique_ptr<TItem>> FItems;
  TGIFImage* FImage;
};

}  // namespace gifimage
