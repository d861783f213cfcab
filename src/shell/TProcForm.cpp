#include "TProcForm.h"

#include <QScreen>

TProcForm::TProcForm(QWidget *parent)
    : QDialog(parent)
{
    ui.setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowStaysOnTopHint);
    setFixedSize(size());
    CentreOnScreen();
}

void TProcForm::showEvent(QShowEvent *event)
{
    // The screen may have changed since the dialog was created.
    CentreOnScreen();
    QDialog::showEvent(event);
}

void TProcForm::CentreOnScreen()
{
    if (const QScreen *screen = this->screen()) {
        const QRect available = screen->availableGeometry();
        move(available.center() - QPoint(width() / 2, height() / 2));
    }
}
