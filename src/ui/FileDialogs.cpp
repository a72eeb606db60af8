#include "ui/FileDialogs.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QTreeView>
#include <algorithm>
#include <cstring>

namespace {

// Qt's file list writes sizes and dates in the system locale (LANG, often C or English on a
// machine set up in English); the dialog speaks Japanese, so its list follows the dialog's
// locale: "2001/05/03 14:05", "1 バイト".
class LocalizedFileDetails : public QIdentityProxyModel {
 public:
  LocalizedFileDetails(const QLocale& locale, QObject* parent)
      : QIdentityProxyModel(parent), locale_(locale) {}

  QVariant data(const QModelIndex& index, int role) const override {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (role != Qt::DisplayRole || !files || !index.isValid()) {
      return QIdentityProxyModel::data(index, role);
    }
    const QModelIndex file = mapToSource(index);
    switch (index.column()) {
      case kSizeColumn:
        if (files->isDir(file)) break;
        return locale_.formattedDataSize(files->size(file));
      case kDateColumn:
        return locale_.toString(files->lastModified(file), QLocale::ShortFormat);
      default:
        break;
    }
    return QIdentityProxyModel::data(index, role);
  }

  static constexpr int kSizeColumn = 1;
  static constexpr int kDateColumn = 3;

 private:
  QLocale locale_;
};

// Lays the columns out afresh for each folder: size and date as wide as what they show, so a
// date is never cut short; the name at least as wide as its names (within a half of the list
// and no less than 120 pixels); the type with what is left, up to its need; then the name takes
// the rest. Together they fill the list, so nothing lies out of sight.
void fitDetails(QTreeView* tree) {
  QAbstractItemView* view = tree;  // sizeHintForColumn is public here
  constexpr int kNameColumn = 0, kTypeColumn = 2;
  const int size = LocalizedFileDetails::kSizeColumn, date = LocalizedFileDetails::kDateColumn;
  auto needed = [&](int column) {
    return std::max(view->sizeHintForColumn(column), tree->header()->sectionSizeHint(column));
  };
  const int room = tree->viewport()->width();
  const int sizeWidth = needed(size);
  const int dateWidth = needed(date);
  const int nameLeast = std::clamp(needed(kNameColumn), 120, std::max(room / 2, 120));
  const int typeWidth =
      std::clamp(room - sizeWidth - dateWidth - nameLeast, 0, needed(kTypeColumn));
  tree->setColumnWidth(size, sizeWidth);
  tree->setColumnWidth(date, dateWidth);
  tree->setColumnWidth(kTypeColumn, typeWidth);
  tree->setColumnWidth(kNameColumn, std::max(room - sizeWidth - dateWidth - typeWidth, nameLeast));
}

// Qt decides only when the dialog is shown whether the desktop's dialog is used; the list is
// localized only when it is Qt's own.
class WidgetDialogLocalizer : public QObject {
 public:
  using QObject::QObject;

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show) adopt(static_cast<QFileDialog*>(watched));
    return false;
  }

 private:
  static void adopt(QFileDialog* dialog) {
    if (dialog->proxyModel() || dialog->testAttribute(Qt::WA_DontShowOnScreen)) return;
    auto* files = dialog->findChild<QFileSystemModel*>();
    auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!files || !tree) return;
    dialog->setProxyModel(new LocalizedFileDetails(dialog->locale(), dialog));
    QObject::connect(files, &QFileSystemModel::directoryLoaded, tree, [tree] { fitDetails(tree); });
    fitDetails(tree);
  }
};

struct Supplement {
  const char* context;
  const char* source;
  const char* japanese;
};

// Texts of Qt 6.4's file dialog without a translation in Debian's qtbase_ja.
constexpr Supplement kSupplements[] = {
    {"QAbstractFileIconProvider", "Folder", "フォルダ"},
    {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    {"QAbstractFileIconProvider", "File", "ファイル"},
    {"QAbstractFileIconProvider", "Shortcut", "ショートカット"},
    {"QAbstractFileIconProvider", "Alias", "エイリアス"},
    {"QFileSystemModel",
     "<b>The name \"%1\" cannot be used.</b><p>Try using another name, with fewer characters or "
     "no punctuation marks.",
     "<b>「%1」という名前は使えません。</b><p>文字を減らすか、記号を使わない名前にしてください。"},
};

}  // namespace

QString QtJapaneseSupplement::translate(const char* context, const char* sourceText,
                                        const char* /*disambiguation*/, int /*n*/) const {
  if (!context || !sourceText) return {};
  for (const Supplement& supplement : kSupplements) {
    if (std::strcmp(context, supplement.context) == 0 &&
        std::strcmp(sourceText, supplement.source) == 0) {
      return QString::fromUtf8(supplement.japanese);
    }
  }
  return {};
}

std::optional<QString> runFileDialog(QWidget* parent, const FileDialogRequest& request,
                                     FileDialogMode mode) {
  QFileDialog dialog(parent, request.title, QString(), request.filters.join(QStringLiteral(";;")));
  // An entry may carry a caption of its own before its patterns ("All(*.*) (*)"): the
  // dialog shows the caption alone.
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  if (mode == FileDialogMode::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (!request.fileName.isEmpty()) dialog.selectFile(request.fileName);
  WidgetDialogLocalizer localizer;
  dialog.installEventFilter(&localizer);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return std::nullopt;
  return chosen.first();
}
