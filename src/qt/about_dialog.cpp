#include "qt/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "dialog/resources.h"
#include "dialog/window_resources.h"
#include "qt/app_icon.h"
#include "qt/dialog_font.h"

namespace brindlemoor {
namespace {

QRect ToQRect(const DialogRect& r) { return QRect(r.x, r.y, r.width, r.height); }

}  // namespace

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent),
      iconLabel(new QLabel(this)),
      versionLabel(new QLabel(QString::fromUtf8(kAboutVersionText), this)),
      secondLineLabel(new QLabel(QString::fromUtf8(kAboutSecondLineText), this)),
      okButton(new QPushButton(QString::fromUtf8(kAboutOkText), this)) {
  setWindowTitle(QString::fromUtf8(kAboutCaption));
  setFont(DialogFont());
  const DialogBaseUnits units = BaseUnitsOf(font());
  const DialogRect window = units.ToPixels(kAboutWindowUnits);
  setFixedSize(window.width, window.height);

  const DialogRect iconAt = units.ToPixels(kAboutIconUnits);
  iconLabel->setPixmap(AppIcon().pixmap(kLargeIconSize, kLargeIconSize));
  iconLabel->setGeometry(iconAt.x, iconAt.y, kLargeIconSize, kLargeIconSize);

  for (QLabel* label : {versionLabel, secondLineLabel}) label->setTextFormat(Qt::PlainText);
  versionLabel->setGeometry(ToQRect(units.ToPixels(kAboutVersionUnits)));
  secondLineLabel->setGeometry(ToQRect(units.ToPixels(kAboutSecondLineUnits)));

  okButton->setGeometry(ToQRect(units.ToPixels(kAboutOkUnits)));
  okButton->setDefault(true);
  okButton->setFocus();
  connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace brindlemoor
