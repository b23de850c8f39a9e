#pragma once
// A single-line text editor with embedded buttons at its trailing edge. Each button is a
// QAction drawn inside the editor; pressing one emits ButtonClick with the button's index.

#include <QLineEdit>
#include <QList>

class QAction;

class TButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    enum TButtonKind { bkEllipsis };

    explicit TButtonEdit(QWidget* parent = nullptr);

    // Adds a button; the first one added is the editor's default button. Returns its action.
    QAction* AddButton(TButtonKind kind = bkEllipsis);
    int ButtonCount() const { return FButtons.size(); }
    QAction* Button(int index) const { return FButtons.value(index); }
    QAction* DefaultButton() const { return FButtons.value(0); }

signals:
    void ButtonClick(int AButtonIndex);

protected:
    // Ctrl+Enter presses the default button, as the keyboard way to the embedded button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QList<QAction*> FButtons;
};
