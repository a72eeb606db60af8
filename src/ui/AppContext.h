#pragma once

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <functional>

#include "shared/Platform.h"
#include "shared/SharedState.h"

// What the windows of one run share: the state, the platform, and the modal windows that are open.
struct AppContext {
  AppContext(SharedState& sharedState, Platform& thePlatform,
             std::function<void()> quitProgram = {})
      : state(sharedState), platform(thePlatform), quit(std::move(quitProgram)) {}

  SharedState& state;
  Platform& platform;

  // Ends the program at once.
  std::function<void()> quit;

  // Which of the Japanese calendar's marks the windows show (koyomi::MarkKind bits; 0 shows
  // none), and how a new choice is kept for the next run (the program's settings file; unset,
  // as in the tests, it is kept for this run only).
  int shownMarks = 0;
  std::function<void(int)> keepShownMarks;

  // The modal windows while they are open; each window sets its own entry when it is
  // created. The alarm pop-up closes them, in this order, before it shows itself.
  struct OpenWindows {
    QPointer<QDialog> dateDialog;     // Form3
    QPointer<QDialog> editor;         // Form5
    QPointer<QDialog> search;         // Form6
    QPointer<QDialog> usageHelp;      // Form7
    QPointer<QDialog> version;        // frmAbout
    QPointer<QDialog> importConfirm;  // the confirmation of an iCalendar import
  } openWindows;
};

// Closes the open modal windows in the order the alarm pop-up needs: date dialog, editor,
// search, usage help, version, then an import's confirmation (nothing is imported then); then
// every other modal window still open (a message box such as 「終了しますか？」 or an input
// error, a file dialog), the latest first. Each is closed as a cancel: the code that opened it
// goes on as if the user had said No or cancelled, so nothing is done and nothing quits.
// Unsaved input in them is dropped. `keep` is left open.
inline void closeOpenWindows(AppContext& context, const QWidget* keep = nullptr) {
  for (QPointer<QDialog>* window :
       {&context.openWindows.dateDialog, &context.openWindows.editor, &context.openWindows.search,
        &context.openWindows.usageHelp, &context.openWindows.version,
        &context.openWindows.importConfirm}) {
    if (*window && *window != keep) (*window)->reject();
  }
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (auto it = windows.crbegin(); it != windows.crend(); ++it) {
    QWidget* window = *it;
    if (window == keep || !window->isVisible() || window->windowModality() == Qt::NonModal) {
      continue;
    }
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
      dialog->reject();
    } else {
      window->close();
    }
  }
}
