#pragma once

#include <QDialog>

#include <vector>

class QLineEdit;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;

/**
 * "Training result analysis": one subject's average thresholds and answer
 * times of the vowel test for a test step. "確認" runs the analysis, "終了"
 * closes.
 */
class CTrainingAnalysis final : public QDialog {
    Q_OBJECT

  public:
    CTrainingAnalysis(store::Database& db, Prompter& prompter, QWidget* parent = nullptr);

  private:
    void Analyse();

    store::Database& db_;
    Prompter& prompter_;
    QLineEdit* subjectId_ = nullptr;
    QLineEdit* step_ = nullptr;
    std::vector<QLineEdit*> outputs_;  ///< in the order of the table's columns
};

}  // namespace kestrune::app
