#include "TCropLayout.h"

#include "Rounding.h"

#include <cstdint>
#include <limits>
#include <string>

namespace editing {

namespace {

// Positions are computed in 64 bits and must come back into the int range.
int Checked(std::int64_t value)
{
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    throw core::NumberError("Crop overlay position " + std::to_string(value) +
                            " does not fit a 32-bit integer");
  return static_cast<int>(value);
}

// Integer division truncating towards zero, as C++ division does.
std::int64_t Div2(std::int64_t value) { return value / 2; }

std::int64_t Wide(int value) { return value; }

}  // namespace

QPoint &TCropLayout::Handle(TCropHandle handle)
{
  switch (handle) {
  case TCropHandle::LeftTop: return LT;
  case TCropHandle::RightTop: return RT;
  case TCropHandle::LeftBottom: return LB;
  case TCropHandle::RightBottom: return RB;
  case TCropHandle::TopMiddle: return TM;
  case TCropHandle::BottomMiddle: return BM;
  case TCropHandle::LeftMiddle: return LM;
  case TCropHandle::RightMiddle: return RM;
  }
  return LT;
}

QPoint TCropLayout::Handle(TCropHandle handle) const
{
  return const_cast<TCropLayout *>(this)->Handle(handle);
}

void TCropLayout::PlaceFromValues(const TCropValues &values, const TCropPicture &picture)
{
  const double s = picture.Scale;
  // The sums of two fields are taken in double: typed values may be anywhere in the int
  // range.
  LT = QPoint(Checked(Wide(picture.Left) + core::RoundHalfEven(values.Left / s) - 4),
              Checked(Wide(picture.Top) + core::RoundHalfEven(values.Top / s) - 4));
  RB = QPoint(Checked(Wide(picture.Left) +
                      core::RoundHalfEven((double(values.Left) + values.Width) / s) - 5),
              Checked(Wide(picture.Top) +
                      core::RoundHalfEven((double(values.Top) + values.Height) / s) - 5));
  LB = QPoint(LT.x(), RB.y());
  RT = QPoint(RB.x(), LT.y());
  Complete();
}

TCropValues TCropLayout::ValuesFromHandles(const TCropPicture &picture) const
{
  const double s = picture.Scale;
  TCropValues values;
  values.Left = core::RoundHalfEven(double(Wide(LT.x()) + 4 - picture.Left) * s);
  values.Top = core::RoundHalfEven(double(Wide(LT.y()) + 4 - picture.Top) * s);
  values.Width = core::RoundHalfEven(double(Wide(RB.x()) - LT.x()) * s);
  values.Height = core::RoundHalfEven(double(Wide(RB.y()) - LT.y()) * s);
  return values;
}

void TCropLayout::Complete(bool withDragArea)
{
  LM = QPoint(LT.x(), Checked(LT.y() + Div2(Wide(LB.y()) - LT.y())));
  TM = QPoint(Checked(LT.x() + Div2(Wide(RT.x()) - LT.x())), LT.y());
  BM = QPoint(Checked(LB.x() + Div2(Wide(RB.x()) - LB.x())), LB.y());
  RM = QPoint(RT.x(), Checked(RT.y() + Div2(Wide(RB.y()) - RT.y())));

  const int frameWidth = Checked(Wide(RT.x()) - LT.x());
  lnleft = {Checked(Wide(LT.x()) + 4), Checked(Wide(LT.y()) + 4), 1,
            Checked(Wide(LB.y()) - LT.y())};
  lnright = {Checked(Wide(RT.x()) + 4), Checked(Wide(RT.y()) + 4), 1,
             Checked(Wide(RB.y()) - RT.y())};
  lntop = {Checked(Wide(LT.x()) + 4), Checked(Wide(LT.y()) + 4), frameWidth, 1};
  lnBottom = {Checked(Wide(LB.x()) + 4), Checked(Wide(LB.y()) + 4), frameWidth, 1};

  if (withDragArea)
    CropImage = {lnleft.Left, lntop.Top, Checked(Wide(lnright.Left) - lnleft.Left),
                 Checked(Wide(lnBottom.Top) - lntop.Top)};
}

bool TCropLayout::MoveHandle(TCropHandle handle, QPoint candidate)
{
  const int x = candidate.x();
  const int y = candidate.y();
  switch (handle) {
  case TCropHandle::LeftTop:
    if (!(x < RB.x() && y < RB.y()))
      return false;
    LT = candidate;
    LB.setX(x);
    RT.setY(y);
    break;
  case TCropHandle::RightBottom:
    if (!(x > LT.x() && y > LT.y()))
      return false;
    RB = candidate;
    LB.setY(y);
    RT.setX(x);
    break;
  case TCropHandle::LeftBottom:
    if (!(x < RT.x() && y > RT.y()))
      return false;
    LB = candidate;
    LT.setX(x);
    RB.setY(y);
    break;
  case TCropHandle::RightTop:
    if (!(x > LB.x() && y < LB.y()))
      return false;
    RT = candidate;
    LT.setY(y);
    RB.setX(x);
    break;
  case TCropHandle::TopMiddle:
    if (!(y < BM.y()))
      return false;
    TM.setY(y);
    LT.setY(y);
    RT.setY(y);
    break;
  case TCropHandle::BottomMiddle:
    if (!(y > TM.y()))
      return false;
    BM.setY(y);
    LB.setY(y);
    RB.setY(y);
    break;
  case TCropHandle::LeftMiddle:
    if (!(x < RM.x()))
      return false;
    LM.setX(x);
    LT.setX(x);
    LB.setX(x);
    break;
  case TCropHandle::RightMiddle:
    if (!(x > LM.x()))
      return false;
    RM.setX(x);
    RT.setX(x);
    RB.setX(x);
    break;
  }
  Complete();
  return true;
}

void TCropLayout::MoveDragArea(QPoint topLeft)
{
  CropImage.Left = topLeft.x();
  CropImage.Top = topLeft.y();
  const int left = Checked(Wide(CropImage.Left) - 4);
  const int top = Checked(Wide(CropImage.Top) - 4);
  const int right = Checked(Wide(CropImage.Left) + CropImage.Width - 4);
  const int bottom = Checked(Wide(CropImage.Top) + CropImage.Height - 4);
  LT = QPoint(left, top);
  LB = QPoint(left, bottom);
  RB = QPoint(right, bottom);
  RT = QPoint(right, top);
  Complete(false);
}

}  // namespace editing
