// Handlers of the crop area editor: the crop fields and the mouse over the player. The
// logic lives in editing::TCropEditor; these pass the events on.
#include "TForm1.h"

#include "TCropEditor.h"

struct TForm1::TCropArea
{
    explicit TCropArea(TForm1 &form)
        : Editor(form.ui.PanelB,
                 editing::TCropFields{form.ui.edLeft, form.ui.edTop, form.ui.edWidth,
                                      form.ui.edHeight},
                 form.State, form.ActivityLog, PlayerHooks(form))
    {
    }

    static editing::TCropPlayerHooks PlayerHooks(TForm1 &form)
    {
        editing::TCropPlayerHooks hooks;
        hooks.Pause = [&form] { form.MediaPlayer1->Pause(); };
        // Only a player that the press paused is resumed: Play on a playing (or stopped)
        // player would start the video again from its beginning.
        hooks.Play = [&form] {
            if (form.MediaPlayer1->Status() == player::ST_PAUSE)
                form.MediaPlayer1->Play();
        };
        // A conversion runs while the capture timer does.
        hooks.ConversionRunning = [&form] { return form.Timer1.isActive(); };
        return hooks;
    }

    editing::TCropEditor Editor;
};

void TForm1::SetUpCropEditor()
{
    FCropArea = std::make_shared<TCropArea>(*this);
}

void TForm1::edLeftChange() { FCropArea->Editor.FieldChanged(); }
void TForm1::edTopChange() { FCropArea->Editor.FieldChanged(); }
void TForm1::edWidthChange() { FCropArea->Editor.FieldChanged(); }
void TForm1::edHeightChange() { FCropArea->Editor.FieldChanged(); }

// The player fills PanelB at 0,0, so its pixels are the overlay's.
void TForm1::MediaPlayer1MouseDown(player::TVFMouseButton, int X, int Y, bool, bool, bool,
                                   bool, bool, bool)
{
    FCropArea->Editor.PlayerMouseDown(X, Y);
}

void TForm1::MediaPlayer1MouseUp(player::TVFMouseButton, int X, int Y, bool, bool, bool, bool,
                                 bool, bool)
{
    FCropArea->Editor.PlayerMouseUp(X, Y);
}

void TForm1::MediaPlayer1MouseMove(int X, int Y) { FCropArea->Editor.PlayerMouseMove(X, Y); }

void TForm1::EditValuesToArea() { FCropArea->Editor.EditValuesToArea(); }

void TForm1::FilloutEdits(bool isReset, bool isWindowJustOpen)
{
    FCropArea->Editor.FilloutEdits(isReset, isWindowJustOpen);
}

void TForm1::setcropareavisible(bool isvisible) { FCropArea->Editor.setcropareavisible(isvisible); }
