#include "app/analysis/ResultTableView.h"

#include <QHeaderView>
#include <QStringList>
#include <QTreeWidget>

#include <algorithm>

namespace kestrune::app {

void ShowResultTable(QTreeWidget* list, const analysis::ResultTable& table) {
    list->clear();
    QStringList captions;
    for (const std::string& caption : table.captions) captions << QString::fromStdString(caption);
    list->setColumnCount(static_cast<int>(captions.size()));
    list->setHeaderLabels(captions);
    QList<QTreeWidgetItem*> items;
    items.reserve(static_cast<qsizetype>(table.rows.size()));
    for (const auto& row : table.rows) {
        QStringList fields;
        for (const std::string& field : row) fields << QString::fromStdString(field);
        items << new QTreeWidgetItem(fields);
    }
    list->addTopLevelItems(items);
    // The table's widths are the least each column gets; a column whose
    // texts need more (a "%f" ratio in the station's font) is widened to
    // show them whole.
    for (int c = 0; c < list->columnCount(); ++c) {
        list->resizeColumnToContents(c);
        if (static_cast<std::size_t>(c) < table.widths.size())
            list->setColumnWidth(c, std::max(list->columnWidth(c), table.widths[c]));
    }
}

analysis::ResultTable ListedTable(const QTreeWidget* list) {
    analysis::ResultTable table;
    const QTreeWidgetItem* header = list->headerItem();
    for (int c = 0; c < list->columnCount(); ++c) {
        table.captions.push_back(header->text(c).toStdString());
        table.widths.push_back(list->columnWidth(c));
    }
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        std::vector<std::string> row;
        for (int c = 0; c < list->columnCount(); ++c) row.push_back(item->text(c).toStdString());
        table.rows.push_back(std::move(row));
    }
    return table;
}

}  // namespace kestrune::app
