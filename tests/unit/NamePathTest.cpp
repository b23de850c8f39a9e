#include "NamePath.h"

#include <QObject>
#include <gtest/gtest.h>

TEST(NamePathTest, JoinsNamedOwnersOutermostFirst)
{
    QObject form;
    form.setObjectName("MainForm");
    QObject unnamed(&form);
    QObject tr(&unnamed);
    tr.setObjectName("Tr1");
    EXPECT_EQ(CmpFullName(&tr), "MainForm.Tr1");
    EXPECT_EQ(CmpFullName(&unnamed), "MainForm");
    QObject lone;
    EXPECT_EQ(CmpFullName(&lone), "");
}
