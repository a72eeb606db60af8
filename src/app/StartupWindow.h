#pragma once
// Form1: the start-up window that asks for a new or an existing data file.

#include <QString>
#include <QWidget>

#include "app/DataFileCommands.h"
#include "ui/AppContext.h"

class QLabel;
class QPushButton;

class StartupWindow : public QWidget {
  Q_OBJECT

 public:
  explicit StartupWindow(AppContext& context);

  // The load: drive change, centring, today as the selected date. The refusal of a second
  // copy comes before it, once a run (Program::start).
  void load();

  FileDialogState& dialogState() { return dialog_; }

  void createNewFile();     // 新規作成
  void openExistingFile();  // 既存のデータを開く
  // What 既存のデータを開く does once the dialog has returned `path`: the window unloads and the
  // main window takes over with the file, which is then tidied.
  void openFile(const QString& path);
  void endProgram();  // 終了

 signals:
  // A data file was created (opened false) or opened, and the window has unloaded.
  void dataFileChosen(bool opened);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Ends the program unless a file was chosen.
  void unload();

  AppContext& context_;
  FileDialogState dialog_;
  QLabel* image_ = nullptr;
  QPushButton* newButton_ = nullptr;
  QPushButton* openButton_ = nullptr;
  QPushButton* endButton_ = nullptr;
  bool unloaded_ = false;
};
