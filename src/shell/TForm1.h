#pragma once

#include <QMainWindow>

// The program's single main window. For now only the frame: the controls, the
// conversion state and the player are added as the subsystems arrive.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm1(QWidget *parent = nullptr);
};
