#include "qt/dialog_font.h"

#include <QFontMetrics>
#include <QStringList>

#include "dialog/window_resources.h"

namespace brindlemoor {

QFont DialogFont() {
  QStringList families;
  for (const char* family : kDialogFontFamilies) families << QString::fromUtf8(family);
  QFont font;
  font.setFamilies(families);
  font.setPointSize(kDialogFontPoints);
  return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int sampleWidth = metrics.horizontalAdvance(QString::fromLatin1(kAverageWidthSample));
  // height() is ascent + descent, the character height without external leading.
  return {DialogBaseUnits::AverageWidth(sampleWidth), metrics.height()};
}

}  // namespace brindlemoor
