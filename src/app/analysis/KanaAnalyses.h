// The three kana confusion windows of the Analyse menu: the answers to one
// played kana (CSydataanalyse), the vowel-column table (CSysegmentanalyse)
// and the consonant-row table (CSyrowanalyse). Each restricts the trials by
// duty cycle and by the other condition; "確認" runs the analysis, "終了"
// closes. The queries and the table come from the store's RunKanaAnalysis,
// the same function kestrune-cli's "analyse kana" runs.
#pragma once

#include <QDialog>

#include "core/analysis/KanaConfusion.h"
#include "store/KanaQueries.h"

class QLineEdit;
class QTreeWidget;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;

/** What the three windows share: the fields, the list and the run. */
class CKanaAnalysisDlg : public QDialog {
    Q_OBJECT

  public:
    /** `db` may be null: "確認" then says there is no database. */
    CKanaAnalysisDlg(store::KanaAnalysisKind kind, store::Database* db, Prompter& prompter,
                     QWidget* parent);

    /** "確認": reads the fields, runs the analysis and lists the result; a
     *  refusal, no result or a failed query shows its message instead. */
    void Run();

    /** The table listed (empty before the first run). */
    const analysis::ResultTable& Table() const { return table_; }

  protected:
    QLineEdit* kanaEdit_ = nullptr;  ///< CSydataanalyse only
    QTreeWidget* list_ = nullptr;
    analysis::ResultTable table_;

  private:
    store::KanaAnalysisKind kind_;
    store::Database* db_;
    Prompter& prompter_;
    QLineEdit* dutyFromEdit_ = nullptr;
    QLineEdit* dutyToEdit_ = nullptr;
    QLineEdit* otherEdit_ = nullptr;
};

/** "カナデータを分析する": which kana one played kana was answered with. */
class CSydataanalyse final : public CKanaAnalysisDlg {
    Q_OBJECT

  public:
    CSydataanalyse(store::Database* db, Prompter& prompter, QWidget* parent = nullptr);

    /** A click on a header: "回数" and "%" sort the rows by their count. */
    void SortByColumn(int column);

  private:
    analysis::KanaDataSort sort_;
};

/** "カナデータを分析する（段）": the vowel-column confusion table. */
class CSysegmentanalyse final : public CKanaAnalysisDlg {
    Q_OBJECT

  public:
    CSysegmentanalyse(store::Database* db, Prompter& prompter, QWidget* parent = nullptr);
};

/** "カナデータを分析する（行）": the consonant-row confusion table. */
class CSyrowanalyse final : public CKanaAnalysisDlg {
    Q_OBJECT

  public:
    CSyrowanalyse(store::Database* db, Prompter& prompter, QWidget* parent = nullptr);
};

}  // namespace kestrune::app
