// The About box: the product's caption, version line, a second line, the icon and a default OK
// button, laid out in dialog units of the dialog font. OK, Enter and Esc close it.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace brindlemoor {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  QLabel* IconLabel() const { return iconLabel; }
  QLabel* VersionLabel() const { return versionLabel; }
  QLabel* SecondLineLabel() const { return secondLineLabel; }
  QPushButton* OkButton() const { return okButton; }

 private:
  QLabel* iconLabel;
  QLabel* versionLabel;
  QLabel* secondLineLabel;
  QPushButton* okButton;
};

}  // namespace brindlemoor
