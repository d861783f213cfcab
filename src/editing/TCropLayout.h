// Where the crop overlay's elements lie over the player, in player pixels measured from the
// top-left corner of the player area, and the arithmetic that keeps them consistent. No
// widgets here: TCropEditor places its elements from this.
//
// A handle's position is its top-left corner; the frame corner a corner handle marks lies
// 4 pixels right of and 4 pixels below it. The right and bottom handles mark the last
// pixel column and row inside the rectangle, the left and top handles the first.
//
// Coordinates are not limited to the picture or the player area. Arithmetic that would leave
// the int range throws core::NumberError instead of wrapping.
#pragma once

#include <QPoint>

namespace editing {

enum class TCropHandle {
  LeftTop,
  RightTop,
  LeftBottom,
  RightBottom,
  TopMiddle,
  BottomMiddle,
  LeftMiddle,
  RightMiddle
};

// A rectangle by its left, top, width and height. Width and height may be 0 or negative
// when the crop fields describe such a rectangle.
struct TCropRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TCropRect &, const TCropRect &) = default;
};

// The crop rectangle in video pixels, as the four crop fields hold it.
struct TCropValues {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  friend bool operator==(const TCropValues &, const TCropValues &) = default;
};

// Where the picture lies inside the player area (player pixels) and the scale between
// video and player pixels: Scale = video width / picture width, the same for both axes.
struct TCropPicture {
  int Left = 0;
  int Top = 0;
  double Scale = 0.0;
};

struct TCropLayout {
  // Handle positions: szLeftTop, szRightTop, szLeftBottom, szRightBottom, szTopMiddle,
  // szBottomMiddle, szLeftMiddle, szRightMiddle.
  QPoint LT, RT, LB, RB, TM, BM, LM, RM;
  // The dotted frame lines (1 pixel thick) and the drag area inside the frame.
  TCropRect lntop, lnBottom, lnleft, lnright;
  TCropRect CropImage;

  QPoint &Handle(TCropHandle handle);
  QPoint Handle(TCropHandle handle) const;

  // Places the four corners from the crop fields and completes the layout.
  void PlaceFromValues(const TCropValues &values, const TCropPicture &picture);
  // The crop fields the corners stand for (rounded, so not the exact inverse of
  // PlaceFromValues: about one player pixel of width and height is lost).
  TCropValues ValuesFromHandles(const TCropPicture &picture) const;

  // Middle handles, then frame lines from the four corners; with withDragArea also the drag
  // area, which then covers exactly the inside of the frame.
  void Complete(bool withDragArea = true);

  // A drag of `handle` to `candidate` (for a middle handle only its moving axis counts).
  // Refused, with nothing changed, unless the handle stays strictly on its side of the
  // opposite handle on every axis it moves; otherwise the handles sharing its edges follow
  // and the layout is completed.
  bool MoveHandle(TCropHandle handle, QPoint candidate);

  // The drag area has been moved to (left, top): the corners follow it, then the middle
  // handles and the lines. The drag area keeps its size.
  void MoveDragArea(QPoint topLeft);
};

}  // namespace editing
