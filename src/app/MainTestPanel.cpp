#include "app/MainTestPanel.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kestrune::app {

CMainTestPanel::CMainTestPanel(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("聴力検査"));
    auto* text = new QLabel(QStringLiteral("聴力検査のセッション画面はこの版にはまだありません。\n"
                                           "波形の作業画面は --workspace で開けます。\n"
                                           "閉じるとプログラムが終了します。"),
                            this);
    text->setObjectName(QStringLiteral("explanation"));
    text->setAlignment(Qt::AlignCenter);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("閉じる"), QDialogButtonBox::RejectRole);
    close->setObjectName(QStringLiteral("closeButton"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 16);
    layout->setSpacing(18);
    layout->addWidget(text);
    layout->addWidget(buttons, 0, Qt::AlignCenter);
    setMinimumWidth(420);
}

}  // namespace kestrune::app
