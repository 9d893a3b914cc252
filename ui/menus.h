// Menu bars built from a message library's menu tables: every command
// becomes an action carrying its command id, so a window handles its menu
// by id as the system's windows do, and a language switch rebuilds the
// bar from the new library with the same ids.
#pragma once

#include <QAction>
#include <QMenuBar>
#include <map>
#include <span>

#include "messages/message_table.h"

namespace tessaran {

using MenuActions = std::map<int, QAction*>;

// Replaces the bar's menus by those of `entries`; each action's data is its
// command id and triggering it sends the bar's triggered(QAction*) signal
// chain as usual. Returns the actions by id.
MenuActions BuildMenuBar(QMenuBar& bar, std::span<const ResourceItem> entries);

// The command id an action of such a menu carries; 0 for another action.
int CommandId(const QAction* action);

}  // namespace tessaran
