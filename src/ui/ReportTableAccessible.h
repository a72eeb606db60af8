#pragma once
// A list of rows with column captions (a QTreeWidget without branches) as a screen reader
// should be given it: a table of rows and columns, its first row the column captions. Qt gives
// such a list as a tree, and Orca announces a tree.

class QAccessibleInterface;
class QTreeWidget;

// The property that marks such a list (makeSpokenReportList sets it).
inline constexpr const char* kReportTableProperty = "yotennaReportTable";

QAccessibleInterface* makeReportTableAccessible(QTreeWidget* list);
