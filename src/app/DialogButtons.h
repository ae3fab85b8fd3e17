// The OK and Cancel buttons of the workspace's parameter dialogs, named so
// tests can find them.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include <utility>

namespace kestrune::app {

/** A box with OK (accepts `dialog`) and Cancel (rejects it), laid out along
 *  `orientation`. */
inline QDialogButtonBox* OkCancelBox(QDialog* dialog, Qt::Orientation orientation) {
    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, orientation, dialog);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

/** Separate "OK" (the default button) and "キャンセル" buttons of `dialog`,
 *  for a grid that places them itself: OK calls `accept`, Cancel rejects. */
template <typename Dialog>
std::pair<QPushButton*, QPushButton*> OkCancelButtons(Dialog* dialog, void (Dialog::*accept)()) {
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("キャンセル"), dialog);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    QObject::connect(ok, &QPushButton::clicked, dialog, accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {ok, cancel};
}

}  // namespace kestrune::app
