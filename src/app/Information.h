#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

#include "store/Registry.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrune {
class Clock;
}

namespace kestrune::app {

class Prompter;

/**
 * "個人情報入力してください": the subject's own entry form at the start of a
 * session. The subject has no keyboard: the romaji full name and the age are
 * typed with on-screen buttons. "次へ　＞" registers the subject (a new
 * IndividualInfo row, or a correction of the row registered earlier in this
 * session) and emits registered(); the session panel then goes on.
 *
 * Modeless and above other windows. The session panel creates it once per
 * session and shows it again when the subject comes back with "＜　戻る".
 */
class CInformation final : public QWidget {
    Q_OBJECT

  public:
    CInformation(store::Database& db, const Clock& clock, Prompter& prompter,
                 QWidget* parent = nullptr);

    /** The session has gone on past this form (its test exists, or was
     *  tried): "次へ　＞" then corrects the registered subject's name and
     *  year of birth instead of inserting another subject. */
    void SetSessionTestExists(bool exists) { sessionTestExists_ = exists; }

    /** Asked with the entered age before "次へ　＞" writes anything: false
     *  (after it has said why) keeps the form as it is and registers
     *  nothing. The session checks the scenario for that age here. */
    void SetBeforeRegistering(std::function<bool(int age)> check) {
        beforeRegistering_ = std::move(check);
    }

    /** The registered subject's key as text ("" before registration). */
    QString SubjectId() const;
    /** The full name as typed. */
    QString FullName() const;

    /** What the form holds, as the result workbook's registration rows
     *  show it: the choices by their texts. */
    struct Entries {
        QString fullName;
        QString sex;
        QString ageText;
        int age = 0;  ///< the age text read as a leading integer
        QString handuse;
        QString hearing;
        int hearingCode = 6;  ///< index of the hearing choice
        QString notes;
    };
    Entries Current() const;

  signals:
    /** The subject is registered (or corrected); the session goes on. */
    void registered(qint64 subjectId);
    /** "＜　戻る": the form has hidden itself; show the session panel. */
    void backRequested();
    /** The subject confirmed closing the form: end the session. */
    void sessionEndRequested();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void AppendToName(const QString& text);
    void AppendToAge(const QString& digit);
    static void RemoveLast(QLineEdit* edit);
    void OnBack();
    void OnNext();
    /** Inserts or corrects the subject; false after showing the failure. */
    bool Register(int birthYear);

    store::SubjectRegistry registry_;
    const Clock& clock_;
    Prompter& prompter_;
    bool sessionTestExists_ = false;
    std::function<bool(int age)> beforeRegistering_;
    std::optional<qint64> subjectId_;

    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* ageEdit_ = nullptr;
    // Hidden choices: a subject registering here always gets their defaults.
    QComboBox* sexCombo_ = nullptr;
    QComboBox* handuseCombo_ = nullptr;
    QComboBox* hearingCombo_ = nullptr;
    QLineEdit* notesEdit_ = nullptr;
};

}  // namespace kestrune::app
