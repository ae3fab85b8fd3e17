// The subject's entry form: typing with the on-screen keys, the checks
// before registering, registration and correction, and closing.

#include <QFontInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <tuple>

#include "AppTestSupport.h"
#include "app/Fonts.h"
#include "app/IndividualInformation.h"
#include "app/Information.h"
#include "core/util/Clock.h"
#include "store/Registry.h"
#include "store/Schema.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

// Noon on 15 June 2006 (UTC): 2006 in every time zone.
constexpr std::time_t kJune2006 = 1150372800;
const QString kTryAgain = QStringLiteral("入力エラーでした．戻して，もう一回入力して下さい！");

}  // namespace

class InformationTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<CInformation> form_;
    std::unique_ptr<QSignalSpy> registered_;
    Controls ui_;

    size_t subjectsBefore_ = 0;  ///< rows a new station has (its practice subject)

    store::SubjectRegistry Registry() { return store::SubjectRegistry(station_->Db()); }
    size_t SubjectCount() {
        return Registry().List(store::SubjectRegistry::AllSubjects()).value.size();
    }
    /** Subjects added since the test began. */
    size_t NewSubjects() { return SubjectCount() - subjectsBefore_; }
    /** A stored subject as "name|sex|year of birth|handuse|education|description". */
    QString Stored(qint64 key) {
        const auto loaded = Registry().Load(key);
        if (!loaded.Ok() || !loaded.value) qFatal("subject %lld not loaded", key);
        const store::Subject& s = *loaded.value;
        return QStringLiteral("%1|%2|%3|%4|%5|%6")
            .arg(s.name, QString(QChar(s.sex)), QString::number(s.birthYear),
                 QString::number(s.handuse), QString::number(s.education), s.description);
    }
    qint64 RegisteredKey(int i) { return registered_->at(i).at(0).toLongLong(); }

    /** Types with the on-screen keys: letters, ' ' for スペース, '<' for 消す. */
    void TypeName(const QString& keys) {
        for (QChar c : keys) {
            Click(c == ' '   ? ui_.Button("spaceButton")
                  : c == '<' ? ui_.Button("nameEraseButton")
                             : ui_.Button(qPrintable(QStringLiteral("letter") + c)));
        }
    }
    /** Digits with the keypad, '<' for its 消す. */
    void TypeAge(const QString& keys) {
        for (QChar c : keys) {
            Click(c == '<' ? ui_.Button("ageEraseButton")
                           : ui_.Button(qPrintable(QStringLiteral("digit") + c)));
        }
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        clock_ = std::make_unique<FakeClock>(kJune2006);
        form_ = std::make_unique<CInformation>(station_->Db(), *clock_, *prompter_);
        registered_ = std::make_unique<QSignalSpy>(form_.get(), &CInformation::registered);
        subjectsBefore_ = SubjectCount();
        ui_.window = form_.get();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        registered_.reset();
        form_.reset();
        clock_.reset();
        prompter_.reset();
        station_.reset();
    }

    void registersANewSubjectWithTheHiddenDefaults() {
        TypeName(QStringLiteral("TARO YAMADAX<"));
        TypeAge(QStringLiteral("<457<"));  // erasing an empty text does nothing
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("TARO YAMADA"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("45"));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));  // the keys take no focus
        Click(ui_.Button("nextButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(registered_->count(), 1);
        const qint64 key = RegisteredKey(0);
        QCOMPARE(key, qint64(store::kPracticeSubjectId + 1));  // the first after the practice one
        QCOMPARE(form_->SubjectId(), QString::number(key));
        QCOMPARE(form_->FullName(), QStringLiteral("TARO YAMADA"));

        QCOMPARE(Stored(key), QStringLiteral("TARO YAMADA|U|1962|3|6|"));
        QCOMPARE(NewSubjects(), size_t(1));
    }

    // What the subject typed is what the experimenter finds in the registry.
    void theRegistryFindsASubjectRegisteredOnTheForm() {
        TypeName(QStringLiteral("HANAKO SATO"));
        TypeAge(QStringLiteral("30"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered_->count(), 1);
        const QString key = form_->SubjectId();

        CIndividualInformation registry(station_->Db(), *prompter_,
                                        store::SubjectRegistry::AllSubjects());
        registry.show();
        QVERIFY(QTest::qWaitForWindowExposed(&registry));
        Controls dialog{&registry};
        Type(dialog.Edit("searchEdit"), QStringLiteral("sato"));
        Click(dialog.Button("searchButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(Rows(dialog.List()), QStringList{key + QStringLiteral("|HANAKO SATO")});
        ClickRow(dialog.List(), 0);
        QCOMPARE(dialog.Edit("birthYearEdit")->text(), QStringLiteral("1977"));
        QCOMPARE(dialog.Combo("sexCombo")->currentText(), QStringLiteral("知らない"));
        Click(dialog.Button("okButton"));
        QCOMPARE(registry.SelectedId(), key);
    }

    void refusesAMissingNameOrAnImpossibleAge_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("message");
        const QString noName = QStringLiteral("名前を入力して下さい!");
        const QString badAge = QStringLiteral("年齢を正確に入力して下さい!");
        for (const auto& [row, name, age, message] :
             {std::tuple("no name", "", "45", noName),
              std::tuple("no name, no age", "", "", noName),
              std::tuple("age 0", "KEN", "0", badAge), std::tuple("age 200", "KEN", "200", badAge),
              std::tuple("letters as age", "KEN", "abc", badAge)})
            QTest::newRow(row) << QString(name) << QString(age) << message;
    }
    void refusesAMissingNameOrAnImpossibleAge() {
        QFETCH(QString, name);
        QFETCH(QString, age);
        QFETCH(QString, message);
        TypeName(name);
        Type(ui_.Edit("ageEdit"), age);
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->MessageTexts(), QStringList{message});
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        QCOMPARE(registered_->count(), 0);
        QCOMPARE(NewSubjects(), size_t(0));
        QVERIFY(form_->isVisible());
        QCOMPARE(form_->SubjectId(), QString());
    }

    void comingBackCorrectsTheSameRow() {
        QSignalSpy back(form_.get(), &CInformation::backRequested);
        TypeName(QStringLiteral("TARO"));
        TypeAge(QStringLiteral("45"));
        Click(ui_.Button("nextButton"));
        form_->SetSessionTestExists(true);

        ui_.Edit("ageEdit")->setFocus();
        Click(ui_.Button("backButton"));
        QCOMPARE(back.count(), 1);
        QVERIFY(!form_->isVisible());
        form_->show();
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));  // every time it is shown
        TypeName(QStringLiteral(" YAMADA"));
        TypeAge(QStringLiteral("<6"));
        clock_->SetNow(kJune2006 + 366 * 24 * 3600);  // a year later: 2007
        Click(ui_.Button("nextButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(registered_->count(), 2);
        QCOMPARE(RegisteredKey(1), RegisteredKey(0));
        QCOMPARE(NewSubjects(), size_t(1));
        // Only name and year of birth change: 2007 - 46 + 1.
        QCOMPARE(Stored(RegisteredKey(0)), QStringLiteral("TARO YAMADA|U|1962|3|6|"));
    }

    void withoutASessionTestEachRegistrationIsANewSubject() {
        store::Subject earlier;  // the same name, registered earlier by the registry
        earlier.name = QStringLiteral("KEN");
        const qint64 earlierKey = Registry().Add(earlier).value;
        TypeName(QStringLiteral("KEN"));
        TypeAge(QStringLiteral("30"));
        Click(ui_.Button("nextButton"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered_->count(), 2);
        QVERIFY(earlierKey < RegisteredKey(0) && RegisteredKey(0) < RegisteredKey(1));
        QCOMPARE(form_->SubjectId(), QString::number(RegisteredKey(1)));  // the newest row
        QCOMPARE(NewSubjects(), size_t(3));
    }

    void aDatabaseFailureKeepsTheFormForAnotherTry() {
        station_->Refuse(QStringLiteral("INSERT"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("HANAKO"));
        TypeAge(QStringLiteral("33"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(2));
        QVERIFY2(prompter_->messages[0].text.startsWith(
                     QStringLiteral("Failed to operate database\n Error message:")),
                 qPrintable(prompter_->messages[0].text));
        QCOMPARE(prompter_->messages[1].text, kTryAgain);
        QCOMPARE(registered_->count(), 0);
        QVERIFY(form_->isVisible());
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("HANAKO"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("33"));
        QCOMPARE(form_->SubjectId(), QString());

        station_->Allow(QStringLiteral("INSERT"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered_->count(), 1);
        QCOMPARE(NewSubjects(), size_t(1));

        // A failed correction is reported the same way and keeps the old row.
        form_->SetSessionTestExists(true);
        station_->Refuse(QStringLiteral("UPDATE"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("<<<<<<KO"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(4));
        QCOMPARE(prompter_->messages[3].text, kTryAgain);
        QCOMPARE(registered_->count(), 1);
        QCOMPARE(Stored(RegisteredKey(0)), QStringLiteral("HANAKO|U|1974|3|6|"));
    }

    void theCloseBoxAsksBeforeEndingTheSession() {
        QSignalSpy ended(form_.get(), &CInformation::sessionEndRequested);
        prompter_->answers = {false, true};
        form_->close();
        QCOMPARE(prompter_->confirmations,
                 QStringList{QStringLiteral("テストがまだ終わりません，\n 確かに終了しますか?")});
        QVERIFY(form_->isVisible());
        QCOMPARE(ended.count(), 0);
        form_->close();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!form_->isVisible());
        QVERIFY(prompter_->messages.empty());
    }

    void looksAsTheSubjectExpects() {
        QCOMPARE(form_->windowTitle(), QStringLiteral("個人情報入力してください"));
        QVERIFY(form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));
        for (const char* hidden : {"sexCombo", "handuseCombo", "hearingCombo"})
            QVERIFY(ui_.Combo(hidden)->isHidden());
        QVERIFY(ui_.Edit("notesEdit")->isHidden());
        QCOMPARE(ui_.Combo("handuseCombo")->itemText(2), QStringLiteral("両方利き"));
        QCOMPARE(ui_.Combo("hearingCombo")->itemText(6), QStringLiteral("知らない"));

        // The faces resolve to the installed Japanese fonts at the sizes asked.
        const QString maru = QStringLiteral("MotoyaLMaru"), gothic = QStringLiteral("IPAPGothic");
        const std::tuple<QWidget*, QString, int> expected[] = {
            {ui_.Get<QLabel>("nameLabel"), maru, 20}, {ui_.Get<QLabel>("ageLabel"), maru, 20},
            {ui_.Button("backButton"), maru, 20},     {ui_.Button("nextButton"), maru, 20},
            {ui_.Get<QLabel>("hintLabel"), maru, 11}, {ui_.Edit("nameEdit"), gothic, 20},
            {ui_.Edit("ageEdit"), gothic, 30}};
        for (const auto& [widget, family, points] : expected) {
            const QFontInfo info(widget->font());
            QCOMPARE(info.family(), family);
            QCOMPARE(info.pointSize(), points);
        }
        QCOMPARE(InstalledFamilyFor(QStringLiteral("Arial")), QStringLiteral("Arial"));
    }
};

QTEST_MAIN(InformationTest)
#include "InformationTest.moc"
