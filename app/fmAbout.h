// The about box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TClickLabel;

// "Velmar" as a link to the component library: Arial 16 pixels, bold,
// underlined, blue, on a transparent ground, with a hand cursor; the label
// takes the size of its text and keeps it (fixed size policy).
void StyleVelmarLink(QLabel* label);

class TAboutForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr QSize ClientSize{384, 245};

  // Frees itself once closed.
  explicit TAboutForm(QWidget* parent = nullptr);

  QLabel* ImgLogo = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label4 = nullptr;
  TClickLabel* ImgVelmar = nullptr;
  TClickLabel* LbVelmar = nullptr;
  QPushButton* BnOk = nullptr;

  void LbVelmarClick();

 protected:
  void showEvent(QShowEvent* event) override;
};
