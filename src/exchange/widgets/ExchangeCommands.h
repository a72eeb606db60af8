#pragma once

class MainViews;
class QWidget;
struct AppContext;

// ファイル → iCalendar に書き出す…: a save dialog, then every record of the data file in use
// as one .ics file, and a word on what was written.
void ExportCalendar(AppContext& context);

// ファイル → iCalendar を読み込む…: an open dialog, the confirmation (ImportConfirmDialog),
// then one rewrite of the data file in use and a refresh of every view. A file that is not
// iCalendar or is broken is refused with the reason, and the data file is not touched.
void ImportCalendar(AppContext& context, MainViews& views, QWidget* parent);
