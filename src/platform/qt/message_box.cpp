#include "platform/qt/message_box.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace zeb {

// The title in the bar's bold font beside the window manager's icon and
// buttons (each about as wide as the bar is high).
void KeepTitleWhole(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  QFont bold = box.font();
  bold.setBold(true);
  const QFontMetrics m(bold);
  const int bar = m.height() + 8;
  const int width = m.horizontalAdvance(box.windowTitle()) + 6 * bar;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                grid->columnCount());
}

}  // namespace zeb
