// The pieces the result analysis windows share: read-only output edits, the
// "確認" and "終了" buttons, and showing a table's row in the outputs.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <vector>

#include "core/analysis/ResultTable.h"

namespace kestrune::app {

/** An edit of the window, named for tests. */
inline QLineEdit* NamedEdit(QWidget* parent, const char* name, bool readOnly) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(readOnly);
    return edit;
}

/** "確認" (the default button, runs `analyse`) and "終了" (closes). */
template <typename Dialog>
std::pair<QPushButton*, QPushButton*> ConfirmCloseButtons(Dialog* dialog,
                                                          void (Dialog::*analyse)()) {
    auto* confirm = new QPushButton(QStringLiteral("確認"), dialog);
    confirm->setObjectName(QStringLiteral("confirmButton"));
    confirm->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("終了"), dialog);
    close->setObjectName(QStringLiteral("closeButton"));
    QObject::connect(confirm, &QPushButton::clicked, dialog, analyse);
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::accept);
    return {confirm, close};
}

/** The table's first row in the edits, column by column; a table without
 *  rows empties them. */
inline void ShowFirstRow(const std::vector<QLineEdit*>& edits, const analysis::ResultTable& table) {
    for (std::size_t i = 0; i < edits.size(); ++i) {
        const bool have = !table.rows.empty() && i < table.rows.front().size();
        edits[i]->setText(have ? QString::fromStdString(table.rows.front()[i]) : QString());
    }
}

}  // namespace kestrune::app
