#include "qt/app_icon.h"

namespace brindlemoor {

QIcon AppIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/brindlemoor/brindlemoor-16.png"),
               QSize(kSmallIconSize, kSmallIconSize));
  icon.addFile(QStringLiteral(":/brindlemoor/brindlemoor-32.png"),
               QSize(kLargeIconSize, kLargeIconSize));
  return icon;
}

}  // namespace brindlemoor
