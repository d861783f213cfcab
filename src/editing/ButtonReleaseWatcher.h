// Runs a function on every release of a pointer button that was pressed on a widget, after
// the widget itself has handled that release.
//
// Qt hands a button its release before the button emits clicked(), and event filters only
// see events before the widget does. The watcher therefore delivers the release to the
// widget itself first (everything clicked() starts has run by then) and only then calls
// its function; the original delivery is then stopped. Keyboard activation is no pointer
// release and calls nothing. UI thread only.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace editing {

class ButtonReleaseWatcher : public QObject {
 public:
  // Installs itself on `widget`, which must outlive it; `parent` owns the watcher.
  ButtonReleaseWatcher(QWidget *widget, std::function<void()> afterRelease,
                       QObject *parent = nullptr);

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  QWidget *FWidget;
  std::function<void()> FAfterRelease;
  // The pointer buttons pressed on the widget and not yet released (Qt::MouseButtons bits).
  int FPressedButtons = 0;
  // Set while the watcher hands a release to the widget, so that it passes through.
  bool FDelivering = false;
};

}  // namespace editing
