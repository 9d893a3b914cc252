#include "ui/menus.h"

#include <QMenu>
#include <vector>

namespace tessaran {

MenuActions BuildMenuBar(QMenuBar& bar, std::span<const ResourceItem> entries) {
  // The old menus go once the command that rebuilt them has returned (it
  // may be one of their own actions).
  for (QAction* old : bar.actions()) {
    if (QMenu* menu = old->menu(); menu && menu->parent() == &bar) menu->deleteLater();
  }
  bar.clear();
  MenuActions actions;
  std::vector<QMenu*> open;
  for (const ResourceItem& entry : entries) {
    const QString label = QString::fromUtf8(entry.text ? entry.text : "");
    if (entry.id == kMenuPopup) {
      open.push_back(open.empty() ? bar.addMenu(label) : open.back()->addMenu(label));
    } else if (entry.id == kMenuEnd) {
      if (!open.empty()) open.pop_back();
    } else if (entry.id == 0) {
      if (!open.empty()) open.back()->addSeparator();
    } else {
      // A command of the innermost popup, or of the bar itself.
      QAction* action = open.empty() ? bar.addAction(label) : open.back()->addAction(label);
      action->setData(entry.id);
      actions[entry.id] = action;
    }
  }
  return actions;
}

int CommandId(const QAction* action) {
  if (!action) return 0;
  bool ok = false;
  const int id = action->data().toInt(&ok);
  return ok ? id : 0;
}

}  // namespace tessaran
