#include "TForm1.h"

#include <gtest/gtest.h>

TEST(TForm1, WindowIsTitledQuorvane)
{
    TForm1 form;
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvane"));
}
