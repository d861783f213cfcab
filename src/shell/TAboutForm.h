// The about box: product, version, the maker's home and support pages, a legal notice.
#pragma once

#include <QDialog>

#include "Prompts.h"
#include "ui_TAboutForm.h"

inline const QString kHomePage = QStringLiteral("https://www.zentiq.example/quorvane/");
inline const QString kGuidePage = QStringLiteral("https://www.zentiq.example/quorvane/guide/");
inline const QString kSupportPage = QStringLiteral("https://www.zentiq.example/quorvane/support/");

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(core::IUrlOpener& opener, QWidget* parent = nullptr);
  // Modal; "OK" closes it. The links open the pages in the user's browser.
  void ShowAbout();

  Ui::TAboutForm ui;

 private:
  core::IUrlOpener& FOpener;
};
