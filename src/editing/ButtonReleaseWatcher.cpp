#include "ButtonReleaseWatcher.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <utility>

namespace editing {

ButtonReleaseWatcher::ButtonReleaseWatcher(QWidget *widget, std::function<void()> afterRelease,
                                           QObject *parent)
    : QObject(parent), FWidget(widget), FAfterRelease(std::move(afterRelease))
{
  FWidget->installEventFilter(this);
}

bool ButtonReleaseWatcher::eventFilter(QObject *watched, QEvent *event)
{
  if (watched != FWidget || FDelivering)
    return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // A disabled widget takes no pointer input, so its releases do not count either.
      if (FWidget->isEnabled())
        FPressedButtons |= static_cast<QMouseEvent *>(event)->button();
      return false;
    case QEvent::MouseButtonRelease: {
      const int button = static_cast<QMouseEvent *>(event)->button();
      if ((FPressedButtons & button) == 0)
        return false;
      FPressedButtons &= ~button;
      FDelivering = true;
      QCoreApplication::sendEvent(watched, event);
      FDelivering = false;
      if (FAfterRelease)
        FAfterRelease();
      // Handled above; accepted so that it does not travel on to the parent widgets.
      event->accept();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace editing
