#pragma once

#include <QDialog>
#include <QString>

#include <memory>

#include "app/Choosers.h"

class QButtonGroup;
class QFileDialog;
class QLineEdit;
class QRadioButton;

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;
class TestDispatcher;

/** The filter of the scenario file dialog, as the user reads it. */
inline const QString kScenarioFileFilter = QStringLiteral("Ini Files (*.Ini)");

/** The scenario file dialogs: "*.Ini" also matches "*.ini" and "*.INI";
 *  ".ini" is added to a name saved without an extension. */
std::unique_ptr<FileChooser> MakeScenarioFileChooser();

/**
 * "設定": the experimenter's test launcher. It takes a subject ID (typed or
 * picked in the subject registry with "検索"), a scenario file (typed or
 * chosen with "参照") and the subject's self-evaluation, checks them in a
 * fixed order and runs the test the scenario's TESTTYPE names through the
 * dispatcher. A refused start shows why and leaves the fields as they are;
 * once the checks have passed the launcher closes (accepted) after the test,
 * also when the TESTTYPE turns out to be unknown.
 */
class CAutoTest1 final : public QDialog {
    Q_OBJECT

  public:
    CAutoTest1(store::Database& db, Prompter& prompter, FileChooser& scenarioChooser,
               TestDispatcher& dispatcher, QWidget* parent = nullptr);

    /** The checked self-evaluation, 1 to 5; 0 when none is checked. */
    int SelfEvaluation() const;

  private:
    void OnSearch();
    void OnBrowse();
    void OnStart();

    store::Database& db_;
    Prompter& prompter_;
    FileChooser& scenarioChooser_;
    TestDispatcher& dispatcher_;

    QLineEdit* idEdit_ = nullptr;
    QLineEdit* pathEdit_ = nullptr;
    QButtonGroup* evaluation_ = nullptr;
};

}  // namespace kestrune::app
