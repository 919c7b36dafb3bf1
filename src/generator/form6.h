#pragma once

#include <QDialog>
#include <QString>

#include "platform/platform.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace numtrail {

// The number generator: makes a list of candidate numbers from a prefix and pseudo-random
// digits and saves it in the format the number list import reads. Modal over the main
// window; every opening starts from the design values.
class Form6 : public QDialog {
  public:
    explicit Form6(Platform& platform, QWidget* parent = nullptr);
    ~Form6() override;

    // Fills List1 (the Command1 click).
    void Generate();
    // Saves List1 to a file the user picks (the Command2 click).
    void Save();

    QStringList Entries() const;
    const QString& LastEntry() const { return last_entry_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // construction
    void CreateControls();
    void Connect();

    // input repair, run on every change and on the prefix field's focus loss
    void OnText1Changed();
    void OnText2Changed();
    void OnText2FocusLost();
    static bool IsFocusMoveWithinWindow(Qt::FocusReason reason);
    void OnText3Changed();
    static void Repair(QLineEdit* field, const QString& repaired);

    MessageAnswer Message(const QString& text, const QString& title, MessageIcon icon);

    Platform& platform_;
    QString last_entry_;  // the entry generated last

    QLabel* label2_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QLabel* label3_ = nullptr;
    QLineEdit* Text3_ = nullptr;
    QLabel* label1_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QGroupBox* frame_ = nullptr;
    QListWidget* List1_ = nullptr;
};

}  // namespace numtrail
