#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;

/**
 * "Intermittent結果の解析": the recognition rate of the interrupted speech
 * trials for a duty cycle and a band of years of birth, a voicing slip
 * counting as correct. "確認" runs the analysis, "終了" closes.
 */
class CIntermittentAnalyse final : public QDialog {
    Q_OBJECT

  public:
    CIntermittentAnalyse(store::Database& db, Prompter& prompter, QWidget* parent = nullptr);

  private:
    void Analyse();

    store::Database& db_;
    Prompter& prompter_;
    QLineEdit* dutyCycle_ = nullptr;
    QLineEdit* yearFrom_ = nullptr;
    QLineEdit* yearTo_ = nullptr;
    QLineEdit* total_ = nullptr;
    QLineEdit* correct_ = nullptr;
    QLineEdit* rate_ = nullptr;
};

}  // namespace kestrune::app
