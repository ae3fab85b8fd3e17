#include "app/AboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/HyperLink.h"
#include "app/ToolbarIcons.h"

namespace kestrune::app {

CAboutDlg::CAboutDlg(QWidget* parent, UrlOpener* opener) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Kestrune"));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(ProgramIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("Kestrune Version 8.0"), this);
    version->setObjectName(QStringLiteral("versionText"));
    auto* link = new CHyperLink(kContactAddress, this, opener);
    link->setObjectName(QStringLiteral("contactLink"));
    link->SetURL(kContactUrl);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setHorizontalSpacing(16);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(link, 1, 1, Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
    // 235 x 55 dialog units at the usual scale, never smaller than the content.
    setMinimumSize(380, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace kestrune::app
