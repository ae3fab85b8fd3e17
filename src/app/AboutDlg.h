#pragma once

#include <QDialog>

namespace kestrune::app {

class UrlOpener;

/** "About Kestrune": the program icon, "Kestrune Version 8.0", the contact
 *  link and OK. */
class CAboutDlg final : public QDialog {
    Q_OBJECT

  public:
    /** `opener` takes the contact link's target; null for the desktop's handler. */
    explicit CAboutDlg(QWidget* parent = nullptr, UrlOpener* opener = nullptr);
};

}  // namespace kestrune::app
