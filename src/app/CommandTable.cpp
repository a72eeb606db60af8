#include "app/CommandTable.h"

#include <QAction>
#include <QMenuBar>
#include <QToolBar>
#include <algorithm>

#include "ui/Pictures.h"
#include "ui/UiSupport.h"

void addMenus(QMenuBar* menuBar, std::span<const MenuTitle> menus, const QList<Command>& commands) {
  for (const MenuTitle& title : menus) {
    QMenu* menu = menuBar->addMenu(QString::fromUtf8(title.title));
    menu->setObjectName(QLatin1String(title.name));
    menu->menuAction()->setObjectName(QLatin1String(title.name));
    for (const Command& command : commands) {
      if (!command.menu || qstrcmp(command.menu, title.name) != 0) continue;
      if (!command.caption) {
        menu->addSeparator()->setObjectName(QLatin1String(command.name));
        continue;
      }
      QAction* action = menu->addAction(QString::fromUtf8(command.caption));
      action->setObjectName(QLatin1String(command.name));
      action->setShortcut(QKeySequence(QLatin1String(command.key)));
      action->setCheckable(command.checkable);
      QObject::connect(action, &QAction::triggered, action, [run = command.run] { run(); });
    }
  }
}

void addToolbarButtons(QToolBar* toolbar, const QList<Command>& commands, int places,
                       const std::function<void(int)>& clicked) {
  for (int place = 1; place <= places; ++place) {
    const Command* command = commandOnButton(commands, place);
    QAction* action = nullptr;
    QString name;
    if (!command) {
      action = toolbar->addSeparator();
    } else {
      action = toolbar->addAction(toolbarPicture(command->picture), QString());
      name = QString::fromUtf8(command->buttonName ? command->buttonName : command->caption);
      // The buttons show pictures only; the name is for screen readers.
      action->setIconText(name);
      const QString key = QLatin1String(command->key);
      action->setToolTip(QString::fromUtf8(command->tip) +
                         (key.isEmpty() ? QString() : QStringLiteral("（%1）").arg(key)));
      QObject::connect(action, &QAction::triggered, toolbar, [clicked, place] { clicked(place); });
    }
    action->setObjectName(QStringLiteral("%1(%2)").arg(toolbar->objectName()).arg(place));
    QWidget* widget = toolbar->widgetForAction(action);
    if (widget && command) {
      widget->setObjectName(action->objectName());
      setAccessible(widget, name);
    }
  }
}

const Command* commandOnButton(const QList<Command>& commands, int place) {
  const auto found =
      std::find_if(commands.begin(), commands.end(),
                   [place](const Command& command) { return command.button == place; });
  return place > 0 && found != commands.end() ? &*found : nullptr;
}
