// Qt's own file dialog (the one shown where the desktop offers none, as on the offscreen
// platform of the tests) speaks Japanese throughout.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "support/TestFiles.h"
#include "ui/FileDialogs.h"
#include "ui/UiSupport.h"

namespace {

QFileDialog* openDialog() { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }

// Closes whatever modal window is left open when a check inside it fails, so that the test
// goes on instead of waiting for ever.
auto closeModalsOnExit() {
  return qScopeGuard([] {
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
      } else {
        modal->close();
      }
    }
  });
}

// The row of the file list that shows `name`, once the folder has been read.
QModelIndex rowOf(QTreeView* list, const QString& name) {
  const QAbstractItemModel* model = list->model();
  for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
    const QModelIndex index = model->index(row, 0, list->rootIndex());
    if (index.data().toString() == name) return index;
  }
  return {};
}

// Latin words left in a text once its keyboard mnemonic "(&N)" is taken out.
bool hasEnglish(QString text) {
  text.remove(QRegularExpression(QStringLiteral("\\(&[A-Za-z]\\)")));
  return text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")));
}

}  // namespace

class FileDialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir folder_;
  QString dataFile_;

 private slots:
  void initTestCase() {
    QStandardPaths::setTestModeEnabled(true);  // the dialog keeps its state in Qt's settings
    installJapaneseLanguage(*qApp);
    QVERIFY(QDir(folder_.path()).mkdir(QStringLiteral("写真")));
    dataFile_ = folder_.filePath(QStringLiteral("予定.dat"));
    writeBytes(dataFile_, "12345");
    QFile file(dataFile_);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime(QDate(2001, 5, 3), QTime(14, 5)),
                             QFileDevice::FileModificationTime));
  }

  void openDialogIsJapanese_data() {
    QTest::addColumn<double>("pointSize");
    QTest::newRow("the program's font") << 9.0;
    QTest::newRow("a large font") << 16.0;  // dates wider than Qt's default column
  }
  void openDialogIsJapanese() {
    QFETCH(double, pointSize);
    const QFont programFont = QApplication::font();
    QApplication::setFont(japaneseFont(pointSize));
    const auto restoreFont = qScopeGuard([&] { QApplication::setFont(programFont); });
    QStringList english;
    QStringList detail;
    QString folderKind;
    int dateWidth = 0;
    int dateNeeded = 0;
    bool fitsInSight = false;
    QTimer::singleShot(0, this, [&] {
      const auto guard = closeModalsOnExit();
      QFileDialog* dialog = openDialog();
      QVERIFY(dialog);
      dialog->setViewMode(QFileDialog::Detail);
      auto* list = dialog->findChild<QTreeView*>("treeView");
      QVERIFY(list);
      QTRY_VERIFY(rowOf(list, "予定.dat").isValid() && rowOf(list, "写真").isValid());
      const QModelIndex file = rowOf(list, "予定.dat");
      QTRY_VERIFY(!file.siblingAtColumn(3).data().toString().isEmpty());
      detail = {file.siblingAtColumn(1).data().toString(),
                file.siblingAtColumn(3).data().toString()};
      folderKind = rowOf(list, "写真").siblingAtColumn(2).data().toString();
      for (int column = 0; column < 4; ++column) {
        const QString caption = list->model()->headerData(column, Qt::Horizontal).toString();
        if (hasEnglish(caption)) english.append(caption);
      }
      dateWidth = list->columnWidth(3);
      fitsInSight = list->header()->length() <= list->viewport()->width();
      const QStyle* style = list->style();
      dateNeeded = list->fontMetrics().horizontalAdvance(detail[1]) +
                   2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
      // Captions, buttons, tips and menu entries; the folder path, the filters and the
      // places of the side bar are the user's own names.
      for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisible() && hasEnglish(label->text())) english.append(label->text());
      }
      for (const QAbstractButton* button : dialog->findChildren<QAbstractButton*>()) {
        if (!button->isVisible()) continue;
        for (const QString& text : {button->text(), button->toolTip()}) {
          if (hasEnglish(text)) english.append(text);
        }
      }
      for (const QAction* action : dialog->findChildren<QAction*>()) {
        if (hasEnglish(action->text())) english.append(action->text());
      }
      dialog->reject();
    });
    const std::optional<QString> chosen = runFileDialog(
        nullptr, {"開く", folder_.filePath("x"), {"データ(*.dat)", "All(*.*)"}, false},
        FileDialogMode::Open);
    QVERIFY(!chosen);
    QCOMPARE(detail, QStringList({"5 バイト", "2001/05/03 14:05"}));
    QCOMPARE(folderKind, "フォルダ");
    QVERIFY2(english.isEmpty(), qPrintable(english.join(" | ")));
    QVERIFY(fitsInSight);
    QVERIFY2(dateWidth >= dateNeeded,
             qPrintable(QStringLiteral("date column %1 of %2").arg(dateWidth).arg(dateNeeded)));
  }

  void openDialogReturnsTheChosenFile() {
    QTimer::singleShot(0, this, [&] {
      const auto guard = closeModalsOnExit();
      QFileDialog* dialog = openDialog();
      QVERIFY(dialog);
      QCOMPARE(dialog->windowTitle(), "開く");
      QCOMPARE(dialog->nameFilters(), QStringList({"データ(*.dat)", "All(*.*)"}));
      dialog->selectFile(dataFile_);
      static_cast<QDialog*>(dialog)->accept();  // as the 開く or 保存 button does
    });
    const std::optional<QString> chosen = runFileDialog(
        nullptr, {"開く", QString(), {"データ(*.dat)", "All(*.*)"}, false}, FileDialogMode::Open);
    QCOMPARE(chosen.value_or(QString()), dataFile_);
  }

  void saveDialogAsksInJapaneseBeforeOverwriting() {
    QString question;
    QTimer::singleShot(0, this, [&] {
      const auto guard = closeModalsOnExit();
      QFileDialog* dialog = openDialog();
      QVERIFY(dialog);
      QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
      // The proposed name is the request's; choosing an existing file asks first.
      QTimer::singleShot(0, this, [&] {
        const auto guard = closeModalsOnExit();
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        question = box->text();
        box->button(QMessageBox::Yes)->click();
      });
      dialog->selectFile(dataFile_);
      static_cast<QDialog*>(dialog)->accept();  // as the 開く or 保存 button does
    });
    const std::optional<QString> chosen = runFileDialog(
        nullptr, {"新規作成", folder_.filePath("新規データ"), {"データ(*.dat)"}, true},
        FileDialogMode::Save);
    QCOMPARE(chosen.value_or(QString()), dataFile_);
    QCOMPARE(question, "予定.dat は既に存在します。\n置き換えますか?");
  }
};

QTEST_MAIN(FileDialogsTest)
#include "tst_file_dialogs.moc"
