#pragma once
// The main window: what the update does, the path of the product database (typed, or chosen
// with the file dialog) and the apply button that runs the hotfix.

#include "HotfixRun.h"

#include <QWidget>

#include <memory>

class QFileDialog;
class QLabel;
class QPushButton;
class TButtonEdit;

namespace Ui {
class TMainForm;
}

class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TButtonEdit* edPath() const;
    QPushButton* Button1() const;
    QFileDialog* OpenDialog1() const { return FOpenDialog1; }

public slots:
    // The apply button's handler: the hotfix run; on success the button is disabled and the
    // information box says so. Failures leave as exceptions for the error display.
    void Button1Click(QObject* Sender);
    // The path editor's button: shows OpenDialog1; a confirmed file's full path replaces the
    // editor's text, a cancelled dialog changes nothing. AButtonIndex is unused (one button).
    void edPathPropertiesButtonClick(QObject* Sender, int AButtonIndex);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void centreOnScreen();
    // The database components of the run, from the script catalogue, in its definition order;
    // references between them are set once all exist.
    void createDatabaseComponents();

    std::unique_ptr<Ui::TMainForm> ui;
    QFileDialog* FOpenDialog1;
    hotfix::TRunComponents FRun;
    bool FCentred = false;
};
