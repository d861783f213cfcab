#pragma once

#include "ui_TProcForm.h"

#include <QDialog>

// The progress dialog of the GIF assembly: fixed size, on top of the other windows,
// centred on the screen. It is shown without a modal loop; the assembly sets
// ui.Gauge (0..100) and repaints it explicitly, since it blocks the event loop.
class TProcForm : public QDialog
{
    Q_OBJECT

public:
    explicit TProcForm(QWidget *parent = nullptr);

    Ui::TProcForm ui;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void CentreOnScreen();
};
