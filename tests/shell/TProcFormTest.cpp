#include "TProcForm.h"

#include <QScreen>

#include <gtest/gtest.h>

TEST(TProcForm, IsAFixedCentredOnTopDialogWithAGaugeFrom0To100)
{
    TProcForm form;
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Processing recorded data..."));
    EXPECT_EQ(form.ui.Label1->text(),
              QStringLiteral("Recorded data is being processed. Please wait..."));
    EXPECT_EQ(form.ui.Gauge->minimum(), 0);
    EXPECT_EQ(form.ui.Gauge->maximum(), 100);
    EXPECT_EQ(form.ui.Gauge->value(), 0);
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form.isModal());
    const QPoint screenCentre = form.screen()->availableGeometry().center();
    // Within the rounding of two integer halvings per axis.
    EXPECT_LE((form.geometry().center() - screenCentre).manhattanLength(), 4);
}
