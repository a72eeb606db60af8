#pragma once
// A window's commands as one table, from which its menus and its toolbar are made.

#include <QList>
#include <functional>
#include <span>

class QMenuBar;
class QToolBar;

// A command of the menus, of the toolbar or of both. A row without a caption is a separator of
// its menu; the toolbar's separators are the places that no command takes.
struct Command {
  const char* menu;     // the object name of its menu; nullptr for a button alone
  const char* name;     // the menu item's object name; nullptr for a button alone
  const char* caption;  // the menu item's text, and the button's name unless it has its own
  const char* key = "";
  std::function<void()> run = {};
  bool checkable = false;
  int button = 0;  // its place on the toolbar (1-based), 0 for none
  int picture = 0;
  const char* tip = nullptr;         // the button's tip says a little more; the key follows it
  const char* buttonName = nullptr;  // what the button does, for screen readers
};

struct MenuTitle {
  const char* name;  // the object name of the menu
  const char* title;
};

// The menus in the order given, each with its commands in the table's order.
void addMenus(QMenuBar* menuBar, std::span<const MenuTitle> menus, const QList<Command>& commands);

// The toolbar's places 1 to `places`: a button for each command that has one, which runs
// `clicked` with its place, a separator for every other place.
void addToolbarButtons(QToolBar* toolbar, const QList<Command>& commands, int places,
                       const std::function<void(int)>& clicked);

const Command* commandOnButton(const QList<Command>& commands, int place);
