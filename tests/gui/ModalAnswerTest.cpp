// The modal answer itself: a box its answer leaves open is closed by force, so a GUI test
// whose answer goes wrong fails instead of hanging.

#include "ModalAnswer.h"

#include <QMessageBox>
#include <gtest/gtest.h>

using testsupport::ModalAnswer;

TEST(ModalAnswerTest, BoxLeftOpenByItsAnswerIsClosedByForce)
{
    bool seen = false;
    ModalAnswer answer([&](QWidget* modal) { seen = qobject_cast<QMessageBox*>(modal) != nullptr; });
    QMessageBox box(QMessageBox::Warning, "title", "text", QMessageBox::Ok);
    box.exec();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(answer.answered());
    EXPECT_TRUE(answer.leftOpen());
}
