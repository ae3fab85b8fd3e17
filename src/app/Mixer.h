#pragma once

#include <QDialog>
#include <QStringList>

#include <vector>

#include "core/dsp/Mixer.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace kestrune::app {

class Prompter;

/**
 * "音声を混合する": the weights and the style of Audio mixer. One row per
 * open wave, its name beside its weight (1.0 at start, shown as "%f"); the
 * two lists select together. A double-click on a weight opens an edit over
 * the row; when the edit loses focus its text is read as a decimal (text
 * that is no number gives 0) and written back to the row.
 *
 * The dialog opens in Add mode with "Normalization" enabled and the note on
 * the first two waves disabled; Mix turns both round. OK in Add mode with
 * "Normalization" checked and weights summing below 0.999 shows "The sum of
 * weights must be 1.0!" and keeps the dialog open.
 */
class CMixer final : public QDialog {
    Q_OBJECT

  public:
    CMixer(const QStringList& names, Prompter& prompter, QWidget* parent = nullptr);

    /** The weights as the rows show them, one per wave. */
    std::vector<double> Weights() const;
    edits::MixMode Mode() const;

    void accept() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void EditWeight(int row);
    /** Writes the open edit's value back to its row and hides it. */
    void CommitWeight();
    void UpdateStyle();

    Prompter& prompter_;
    QListWidget* nameList_ = nullptr;
    QListWidget* weightList_ = nullptr;
    QLineEdit* weightEdit_ = nullptr;
    QCheckBox* normalization_ = nullptr;
    QRadioButton* addMode_ = nullptr;
    QRadioButton* mixMode_ = nullptr;
    QLabel* note_ = nullptr;
    int editedRow_ = -1;
};

}  // namespace kestrune::app
