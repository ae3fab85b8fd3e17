// How an analysis window lists a ResultTable: one report-style list whose
// headers are the table's captions and widths and whose lines are its rows.
#pragma once

#include "core/analysis/ResultTable.h"

class QTreeWidget;

namespace kestrune::app {

/** Replaces what `list` shows with `table`: its captions, its rows, each
 *  column as wide as the table says or as its texts need if that is more. */
void ShowResultTable(QTreeWidget* list, const analysis::ResultTable& table);

/** What `list` shows, read back as a table (for tests and screenshots). */
analysis::ResultTable ListedTable(const QTreeWidget* list);

}  // namespace kestrune::app
