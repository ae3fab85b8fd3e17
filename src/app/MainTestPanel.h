#pragma once

#include <QDialog>

namespace kestrune::app {

/**
 * "聴力検査": the session panel a normal start runs instead of the workspace.
 * For now it only says that the session screens are not part of this build
 * and offers a close button; closing it ends the program.
 */
class CMainTestPanel final : public QDialog {
    Q_OBJECT

  public:
    explicit CMainTestPanel(QWidget* parent = nullptr);
};

}  // namespace kestrune::app
