#include "ButtonEdit.h"

#include <QAction>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>

namespace {

// Three dots on a transparent square, in the editor's text colour.
QIcon ellipsisIcon(const QColor& colour)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    for (int x : {3, 7, 11})
        painter.drawRect(x, 10, 2, 2);
    return QIcon(pixmap);
}

}  // namespace

TButtonEdit::TButtonEdit(QWidget* parent) : QLineEdit(parent) {}

QAction* TButtonEdit::AddButton(TButtonKind)
{
    const int index = FButtons.size();
    QAction* button = addAction(ellipsisIcon(palette().color(QPalette::Text)), TrailingPosition);
    button->setText(QStringLiteral("..."));
    connect(button, &QAction::triggered, this, [this, index] { emit ButtonClick(index); });
    FButtons.append(button);
    return button;
}

void TButtonEdit::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::ControlModifier && DefaultButton()) {
        DefaultButton()->trigger();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
