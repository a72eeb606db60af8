#include "exchange/widgets/ExchangeCommands.h"

#include <QDir>
#include <QFileInfo>

#include "exchange/IcalExport.h"
#include "exchange/IcalImport.h"
#include "exchange/ImportApply.h"
#include "exchange/widgets/ImportConfirmDialog.h"
#include "ui/AppContext.h"
#include "ui/MainViews.h"

namespace {

const QString kExportTitle = QStringLiteral("iCalendar に書き出す");
const QString kImportTitle = QStringLiteral("iCalendar を読み込む");
const QStringList kCalendarFilters = {QStringLiteral("iCalendar(*.ics *.ical *.ifb)"),
                                      QStringLiteral("All(*.*)")};
constexpr qsizetype kListedProblems = 10;

QString listed(const QStringList& lines) {
  QString text;
  for (qsizetype i = 0; i < std::min(lines.size(), kListedProblems); ++i) {
    text += QStringLiteral("\n・") + lines[i];
  }
  if (lines.size() > kListedProblems) {
    text += QStringLiteral("\nほか %1 件").arg(lines.size() - kListedProblems);
  }
  return text;
}

bool sameFile(const QString& a, const QString& b) {
  const QFileInfo first(a);
  const QFileInfo second(b);
  if (first.exists() && second.exists())
    return first.canonicalFilePath() == second.canonicalFilePath();
  return first.absoluteFilePath() == second.absoluteFilePath();
}

}  // namespace

void ExportCalendar(AppContext& context) {
  Platform& platform = context.platform;
  const QString dataFile = context.state.CurrentDataFile;
  const QFileInfo data(dataFile);
  FileDialogRequest request;
  request.title = kExportTitle;
  request.fileName = data.dir().filePath(data.completeBaseName() + QStringLiteral(".ics"));
  request.filters = kCalendarFilters;
  request.confirmOverwrite = true;
  const std::optional<QString> chosen = platform.saveFileName(request);
  if (!chosen) return;
  // Writing the calendar over the data file would lose every record.
  if (sameFile(*chosen, dataFile)) {
    warn(platform,
         QStringLiteral("使用中のデータファイルには書き出せません。別の名前を指定してください。"),
         kExportTitle);
    return;
  }

  const ExportResult result = exportCalendar(
      dataFile, ExportOptions{platform.now(), QByteArray(), data.completeBaseName()});
  Status written = result.status;
  if (written) written = writeCalendarFile(*chosen, result.ics);
  if (!written) {
    warn(platform, QStringLiteral("iCalendar に書き出せませんでした。\n%1").arg(written.message()),
         kExportTitle);
    return;
  }
  QString text = QStringLiteral("予定 %1 件、タイマー %2 件を「%3」に書き出しました。")
                     .arg(result.entries)
                     .arg(result.timers)
                     .arg(QDir::toNativeSeparators(*chosen));
  if (!result.notExported.isEmpty()) {
    QStringList lines;
    for (const ExchangeIssue& issue : result.notExported) {
      lines << issue.item + QStringLiteral(": ") + issue.reason;
    }
    text += QStringLiteral("\n\n書き出せなかったもの（%1 件）:").arg(lines.size()) + listed(lines);
  }
  platform.messageBox(text, kExportTitle, MessageIcon::None, MessageButtons::Ok);
}

void ImportCalendar(AppContext& context, MainViews& views, QWidget* parent) {
  Platform& platform = context.platform;
  const QString dataFile = context.state.CurrentDataFile;
  FileDialogRequest request;
  request.title = kImportTitle;
  request.fileName = QFileInfo(dataFile).absolutePath();
  request.filters = kCalendarFilters;
  const std::optional<QString> chosen = platform.openFileName(request);
  if (!chosen) return;

  auto refuse = [&](const QString& reason) {
    warn(platform,
         QStringLiteral("「%1」を読み込めません。データファイルは変わっていません。\n%2")
             .arg(QDir::toNativeSeparators(*chosen), reason),
         kImportTitle);
  };
  // The file is read once; changing the range only maps it again.
  const CalendarFile calendar = readCalendarFile(*chosen);
  if (calendar.refusal) return refuse(*calendar.refusal);
  ImportOptions options = defaultImportOptions(platform.now());
  ImportPlan plan = planImport(calendar.bytes, options);
  if (plan.refusal) return refuse(*plan.refusal);

  Status readStatus = Status::success();
  auto recount = [&](const QDate& first, const QDate& last) {
    options.rangeFirst = first;
    options.rangeLast = last;
    plan = planImport(calendar.bytes, options);
    const ImportPreview preview = previewImport(dataFile, plan);
    readStatus = preview.status;
    return summarizeImport(plan, preview);
  };
  {
    ImportConfirmDialog dialog(QFileInfo(*chosen).fileName(), options.rangeFirst, options.rangeLast,
                               recount, parent);
    if (!readStatus) {
      warn(platform, readStatus.message(), kImportTitle);
      return;
    }
    context.openWindows.importConfirm = &dialog;
    if (dialog.exec() != QDialog::Accepted) return;
  }

  const ImportOutcome outcome = applyImport(dataFile, plan);
  if (!outcome.status) {
    warn(
        platform,
        QStringLiteral("iCalendar の内容を追加できませんでした。データファイルは元のままです。\n%1")
            .arg(outcome.status.message()),
        kImportTitle);
    return;
  }
  refreshViews(
      views, {&MainViews::ShowDateHeading, &MainViews::ShowDayHoliday, &MainViews::LoadDaySchedules,
              &MainViews::RefreshMonthView, &MainViews::LoadTimerList});
}
