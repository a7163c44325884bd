#include "app/fmAbout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include "app/Anchors.h"
#include "app/AppHelp.h"
#include "app/ClickLabel.h"
#include "app/ImageLists.h"

void StyleVelmarLink(QLabel* label) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(16);
  font.setBold(true);
  font.setUnderline(true);
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  label->setPalette(palette);
  label->setAutoFillBackground(false);
  label->setCursor(Qt::PointingHandCursor);
  // As wide as the text in whatever font stands in for Arial.
  label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  label->adjustSize();
}

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("About Tavrin"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  setFixedSize(ClientSize);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
  setAutoFillBackground(true);

  auto* anchors = new TAnchors(this, ClientSize);
  constexpr Qt::Edges kRightBottom = Qt::RightEdge | Qt::BottomEdge;

  ImgLogo = new QLabel(this);
  ImgLogo->setObjectName(QStringLiteral("ImgLogo"));
  ImgLogo->setPixmap(tavrin::ProductLogo());
  ImgLogo->setScaledContents(true);
  anchors->Add(ImgLogo, QRect(20, 20, 96, 96));

  Label1 = new QLabel(QStringLiteral("Tavrin"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  QFont title(QStringLiteral("Verdana"));
  title.setPixelSize(21);
  title.setBold(true);
  Label1->setFont(title);
  Label1->adjustSize();
  anchors->Add(Label1, QRect(QPoint(124, 20), Label1->size()));

  Label2 = new QLabel(QStringLiteral("Version 1.0 beta"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  QFont version(QStringLiteral("Arial"));
  version.setPixelSize(15);
  version.setBold(true);
  Label2->setFont(version);
  Label2->adjustSize();
  anchors->Add(Label2, QRect(QPoint(128, 76), Label2->size()));

  Label4 = new QLabel(QStringLiteral("Powered by"), this);
  Label4->setObjectName(QStringLiteral("Label4"));
  Label4->adjustSize();
  anchors->Add(Label4, QRect(QPoint(312, 165), Label4->size()), kRightBottom);

  ImgVelmar = new TClickLabel(this);
  ImgVelmar->setObjectName(QStringLiteral("ImgVelmar"));
  ImgVelmar->setPixmap(tavrin::LibraryLogo());
  ImgVelmar->setCursor(Qt::PointingHandCursor);
  connect(ImgVelmar, &TClickLabel::Clicked, this, &TAboutForm::LbVelmarClick);
  anchors->Add(ImgVelmar, QRect(276, 165, 32, 32), kRightBottom);

  LbVelmar = new TClickLabel(QStringLiteral("Velmar"), this);
  LbVelmar->setObjectName(QStringLiteral("LbVelmar"));
  StyleVelmarLink(LbVelmar);
  connect(LbVelmar, &TClickLabel::Clicked, this, &TAboutForm::LbVelmarClick);
  anchors->Add(LbVelmar, QRect(QPoint(312, 177), LbVelmar->size()), kRightBottom);

  BnOk = new QPushButton(QStringLiteral("Ok"), this);
  BnOk->setObjectName(QStringLiteral("BnOk"));
  BnOk->setDefault(true);
  connect(BnOk, &QPushButton::clicked, this, &QDialog::accept);
  anchors->Add(BnOk, QRect(275, 201, 95, 29), kRightBottom);
}

void TAboutForm::LbVelmarClick() { tavrin::OpenUrl(tavrin::LibraryHomePage()); }

void TAboutForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The frame centred on the screen: move() places the frame, whose size
  // is known once the window is shown.
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
}
