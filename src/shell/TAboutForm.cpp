#include "TAboutForm.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {

QString LinkText(const QString& url, const QColor& colour) {
  return QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none\">%1</a>").arg(url, colour.name());
}

// The product logo: a frame of film turning into a looping arrow, drawn rather than shipped.
QPixmap Logo() {
  QPixmap pixmap(48, 48);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(QColor(0x2a, 0x6f, 0xb5));
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(4, 8, 40, 32, 6, 6);
  p.setBrush(Qt::white);
  for (int i = 0; i < 4; ++i) {
    p.drawRect(8 + i * 10, 11, 5, 4);
    p.drawRect(8 + i * 10, 33, 5, 4);
  }
  p.setPen(QPen(QColor(0xff, 0xc8, 0x30), 3));
  p.setBrush(Qt::NoBrush);
  p.drawArc(14, 17, 20, 14, 30 * 16, 300 * 16);
  return pixmap;
}

}  // namespace

TAboutForm::TAboutForm(core::IUrlOpener& opener, QWidget* parent) : QDialog(parent), FOpener(opener) {
  ui.setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(size());
  ui.verlabel->setText(QStringLiteral("Version 1.5"));
  QFont bold = ui.lblProduct->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() + 1);
  ui.lblProduct->setFont(bold);
  ui.imgLogo->setPixmap(Logo());
  const QColor hotTrack = palette().color(QPalette::Highlight);
  for (QLabel* link : {ui.lnkHome, ui.lnkSupport}) {
    link->setTextFormat(Qt::RichText);
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    link->setOpenExternalLinks(false);
    link->setCursor(Qt::PointingHandCursor);
    connect(link, &QLabel::linkActivated, this, [this](const QString& url) { FOpener.Open(url); });
  }
  ui.lnkHome->setText(LinkText(kHomePage, hotTrack));
  ui.lnkSupport->setText(LinkText(kSupportPage, hotTrack));
  connect(ui.btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutForm::ShowAbout() {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  exec();
}
