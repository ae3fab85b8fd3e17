// The subject's entry form: typing with the on-screen keys, the checks
// before registering, registration and correction, and closing.

#include <QFontInfo>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "AppTestSupport.h"
#include "app/Fonts.h"
#include "app/IndividualInformation.h"
#include "app/Information.h"
#include "core/util/Clock.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

// Noon on 15 June 2006 (UTC): 2006 in every time zone.
constexpr std::time_t kJune2006 = 1150372800;

}  // namespace

class InformationTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<FakeClock> clock_;
    std::unique_ptr<CInformation> form_;
    Controls ui_;

    store::SubjectRegistry Registry() { return store::SubjectRegistry(station_->Db()); }
    std::vector<store::ListEntry> AllSubjects() {
        const auto all = Registry().List(store::SubjectRegistry::AllSubjects());
        if (!all.Ok()) qFatal("%s", qPrintable(all.error->Text()));
        return all.value;
    }

    void Open() {
        form_ = std::make_unique<CInformation>(station_->Db(), *clock_, *prompter_);
        ui_.window = form_.get();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    }

    /** Types with the on-screen keys: letters, ' ' for スペース, '<' for 消す. */
    void TypeName(const QString& keys) {
        for (QChar c : keys) {
            if (c == QLatin1Char(' ')) {
                Click(ui_.Button("spaceButton"));
            } else if (c == QLatin1Char('<')) {
                Click(ui_.Button("nameEraseButton"));
            } else {
                Click(ui_.Button(qPrintable(QStringLiteral("letter") + c)));
            }
        }
    }
    /** Digits with the keypad, '<' for its 消す. */
    void TypeAge(const QString& keys) {
        for (QChar c : keys) {
            Click(c == QLatin1Char('<') ? ui_.Button("ageEraseButton")
                                        : ui_.Button(qPrintable(QStringLiteral("digit") + c)));
        }
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        clock_ = std::make_unique<FakeClock>(kJune2006);
    }

    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        form_.reset();
        clock_.reset();
        prompter_.reset();
        station_.reset();
    }

    void registersANewSubjectWithTheHiddenDefaults() {
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        TypeName(QStringLiteral("TARO YAMADAX<"));
        TypeAge(QStringLiteral("<457<"));  // erasing an empty text does nothing
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("TARO YAMADA"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("45"));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));  // the keys take no focus
        Click(ui_.Button("nextButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(registered.count(), 1);
        const qint64 key = registered.at(0).at(0).toLongLong();
        QCOMPARE(form_->SubjectId(), QString::number(key));
        QCOMPARE(form_->FullName(), QStringLiteral("TARO YAMADA"));

        const auto stored = Registry().Load(key);
        QVERIFY(stored.Ok() && stored.value);
        QCOMPARE(stored.value->name, QStringLiteral("TARO YAMADA"));
        QCOMPARE(stored.value->birthYear, 1962);
        QCOMPARE(stored.value->sex, 'U');
        QCOMPARE(stored.value->handuse, 3);
        QCOMPARE(stored.value->education, 6);
        QCOMPARE(stored.value->description, QString());
        QCOMPARE(AllSubjects().size(), size_t(1));
    }

    // What the subject typed is what the experimenter finds in the registry.
    void theRegistryFindsASubjectRegisteredOnTheForm() {
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        TypeName(QStringLiteral("HANAKO SATO"));
        TypeAge(QStringLiteral("30"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered.count(), 1);
        const QString key = form_->SubjectId();

        CIndividualInformation registry(station_->Db(), *prompter_,
                                        store::SubjectRegistry::AllSubjects());
        registry.show();
        QVERIFY(QTest::qWaitForWindowExposed(&registry));
        Controls dialog{&registry};
        Type(dialog.Edit("searchEdit"), QStringLiteral("sato"));
        Click(dialog.Button("searchButton"));
        QVERIFY(prompter_->messages.empty());
        QCOMPARE(dialog.List()->topLevelItemCount(), 1);
        QCOMPARE(dialog.List()->topLevelItem(0)->text(0), key);
        QCOMPARE(dialog.List()->topLevelItem(0)->text(1), QStringLiteral("HANAKO SATO"));

        ClickRow(dialog.List(), 0);
        QCOMPARE(dialog.Edit("idEdit")->text(), key);
        QCOMPARE(dialog.Edit("nameEdit")->text(), QStringLiteral("HANAKO SATO"));
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
        const struct {
            const char* tag;
            const char* name;
            const char* age;
            QString message;
        } cases[] = {{"no name", "", "45", noName}, {"no name, no age", "", "", noName},
                     {"age 0", "KEN", "0", badAge}, {"age 200", "KEN", "200", badAge},
                     {"no age", "KEN", "", badAge}, {"letters as age", "KEN", "abc", badAge}};
        for (const auto& c : cases) {
            QTest::newRow(c.tag) << QString(c.name) << QString(c.age) << c.message;
        }
    }
    void refusesAMissingNameOrAnImpossibleAge() {
        QFETCH(QString, name);
        QFETCH(QString, age);
        QFETCH(QString, message);
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        TypeName(name);
        Type(ui_.Edit("ageEdit"), age);
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(1));
        QCOMPARE(prompter_->messages[0].text, message);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        QCOMPARE(registered.count(), 0);
        QVERIFY(AllSubjects().empty());
        QVERIFY(form_->isVisible());
        QCOMPARE(form_->SubjectId(), QString());
    }

    void comingBackCorrectsTheSameRow() {
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        QSignalSpy back(form_.get(), &CInformation::backRequested);
        TypeName(QStringLiteral("TARO"));
        TypeAge(QStringLiteral("45"));
        Click(ui_.Button("nextButton"));
        const qint64 key = registered.at(0).at(0).toLongLong();
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
        QCOMPARE(registered.count(), 2);
        QCOMPARE(registered.at(1).at(0).toLongLong(), key);
        QCOMPARE(AllSubjects().size(), size_t(1));
        const auto stored = Registry().Load(key);
        QCOMPARE(stored.value->name, QStringLiteral("TARO YAMADA"));
        QCOMPARE(stored.value->birthYear, 2007 - 46 + 1);
        QCOMPARE(stored.value->handuse, 3);  // only name and year change
        QCOMPARE(stored.value->education, 6);
    }

    void withoutASessionTestEachRegistrationIsANewSubject() {
        // Another subject of the same name registered earlier by the registry.
        store::Subject earlier;
        earlier.name = QStringLiteral("KEN");
        const qint64 earlierKey = Registry().Add(earlier).value;
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        TypeName(QStringLiteral("KEN"));
        TypeAge(QStringLiteral("30"));
        Click(ui_.Button("nextButton"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered.count(), 2);
        const qint64 first = registered.at(0).at(0).toLongLong();
        const qint64 second = registered.at(1).at(0).toLongLong();
        QVERIFY(earlierKey < first && first < second);
        QCOMPARE(form_->SubjectId(), QString::number(second));  // the newest row
        QCOMPARE(AllSubjects().size(), size_t(3));
    }

    void aDatabaseFailureKeepsTheFormForAnotherTry() {
        Open();
        QSignalSpy registered(form_.get(), &CInformation::registered);
        station_->Refuse(QStringLiteral("INSERT"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("HANAKO"));
        TypeAge(QStringLiteral("33"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(2));
        QVERIFY2(prompter_->messages[0].text.startsWith(
                     QStringLiteral("Failed to operate database\n Error message:")),
                 qPrintable(prompter_->messages[0].text));
        QCOMPARE(prompter_->messages[1].text,
                 QStringLiteral("入力エラーでした．戻して，もう一回入力して下さい！"));
        QCOMPARE(registered.count(), 0);
        QVERIFY(form_->isVisible());
        QCOMPARE(ui_.Edit("nameEdit")->text(), QStringLiteral("HANAKO"));
        QCOMPARE(ui_.Edit("ageEdit")->text(), QStringLiteral("33"));
        QCOMPARE(form_->SubjectId(), QString());

        station_->Allow(QStringLiteral("INSERT"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(registered.count(), 1);
        QCOMPARE(AllSubjects().size(), size_t(1));

        // A failed correction is reported the same way and keeps the old row.
        form_->SetSessionTestExists(true);
        station_->Refuse(QStringLiteral("UPDATE"), QStringLiteral("IndividualInfo"));
        TypeName(QStringLiteral("<<<<<<KO"));
        Click(ui_.Button("nextButton"));
        QCOMPARE(prompter_->messages.size(), size_t(4));
        QCOMPARE(prompter_->messages[3].text,
                 QStringLiteral("入力エラーでした．戻して，もう一回入力して下さい！"));
        QCOMPARE(registered.count(), 1);
        QCOMPARE(Registry().Load(registered.at(0).at(0).toLongLong()).value->name,
                 QStringLiteral("HANAKO"));
    }

    void theCloseBoxAsksBeforeEndingTheSession() {
        Open();
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
        Open();
        QCOMPARE(form_->windowTitle(), QStringLiteral("個人情報入力してください"));
        QVERIFY(form_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form_->focusWidget(), ui_.Edit("nameEdit"));
        for (const char* hidden : {"sexCombo", "handuseCombo", "hearingCombo"}) {
            QVERIFY(ui_.Combo(hidden)->isHidden());
        }
        QVERIFY(ui_.Edit("notesEdit")->isHidden());
        QCOMPARE(ui_.Combo("handuseCombo")->itemText(2), QStringLiteral("両方利き"));
        QCOMPARE(ui_.Combo("hearingCombo")->itemText(6), QStringLiteral("知らない"));

        // The faces resolve to the installed Japanese fonts at the sizes asked.
        struct Expected {
            QWidget* widget;
            QString family;
            int points;
        };
        const Expected expected[] = {
            {ui_.Get<QLabel>("nameLabel"), QStringLiteral("MotoyaLMaru"), 20},
            {ui_.Get<QLabel>("ageLabel"), QStringLiteral("MotoyaLMaru"), 20},
            {ui_.Button("backButton"), QStringLiteral("MotoyaLMaru"), 20},
            {ui_.Button("nextButton"), QStringLiteral("MotoyaLMaru"), 20},
            {ui_.Get<QLabel>("hintLabel"), QStringLiteral("MotoyaLMaru"), 11},
            {ui_.Edit("nameEdit"), QStringLiteral("IPAPGothic"), 20},
            {ui_.Edit("ageEdit"), QStringLiteral("IPAPGothic"), 30},
        };
        for (const Expected& e : expected) {
            const QFontInfo info(e.widget->font());
            QCOMPARE(info.family(), e.family);
            QCOMPARE(info.pointSize(), e.points);
        }
        QCOMPARE(InstalledFamilyFor(QStringLiteral("Arial")), QStringLiteral("Arial"));
    }
};

QTEST_MAIN(InformationTest)
#include "InformationTest.moc"
