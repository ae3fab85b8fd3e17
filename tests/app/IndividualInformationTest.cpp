// The subject registry: its own fields, mappings and texts. The list and mode
// machinery it shares with the audio registry is covered by that dialog's
// tests; here it runs against the subjects' table.

#include <QTest>

#include <memory>

#include "AppTestSupport.h"
#include "app/IndividualInformation.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class IndividualInformationTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<CIndividualInformation> dialog_;
    Controls ui_;
    QList<qint64> keys_;  ///< the seeded subjects, listed after the practice subject

    /** The list row of the seeded subject keys_[i]. */
    static int RowOf(int i) { return i + 1; }

    /** A stored subject as "name|sex|year of birth|handuse|education|description". */
    QString Stored(qint64 key) {
        const auto loaded = store::SubjectRegistry(station_->Db()).Load(key);
        if (!loaded.Ok() || !loaded.value) qFatal("subject %lld not loaded", key);
        const store::Subject& s = *loaded.value;
        return QStringLiteral("%1|%2|%3|%4|%5|%6")
            .arg(s.name, QString(QChar(s.sex)), QString::number(s.birthYear),
                 QString::number(s.handuse), QString::number(s.education), s.description);
    }

    /** Every field (combos as their index), in form order, key first. */
    QStringList Fields() {
        return {ui_.Edit("idEdit")->text(),
                ui_.Edit("nameEdit")->text(),
                QString::number(ui_.Combo("sexCombo")->currentIndex()),
                ui_.Edit("birthYearEdit")->text(),
                QString::number(ui_.Combo("handuseCombo")->currentIndex()),
                ui_.Edit("educationEdit")->text(),
                ui_.Edit("descriptionEdit")->text()};
    }
    void Update() {
        prompter_->answers = {true};
        Click(ui_.Button("updateButton"));
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        keys_.clear();
        const store::Subject seeds[] = {
            {0, "TARO YAMADA", 'M', 1962, 0, 16, "右耳がやや弱い"},
            {0, "HANAKO SATO", 'f', 1980, 1, 12, ""},
            {0, "KEN", 'U', 1950, 2, 9, "x"},
            {0, "JIRO", 'U', 1990, 3, 6, ""},  // as the entry form registers
        };
        for (const auto& seed : seeds) {
            const auto added = store::SubjectRegistry(station_->Db()).Add(seed);
            QVERIFY2(added.Ok(), added.Ok() ? "" : qPrintable(added.error->Text()));
            keys_ << added.value;
        }
        dialog_ = std::make_unique<CIndividualInformation>(station_->Db(), *prompter_,
                                                           store::SubjectRegistry::AllSubjects());
        ui_.window = dialog_.get();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        dialog_.reset();
        prompter_.reset();
        station_.reset();
    }

    void listsAndShowsEveryColumn() {
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("被験者の情報"));
        QCOMPARE(ui_.List()->headerItem()->text(1), QStringLiteral("Name"));
        // The database's own practice subject comes first, its empty columns
        // shown as unknown sex and zeros.
        QCOMPARE(Rows(ui_.List())[0], QStringLiteral("1|PRACTICE"));
        ClickRow(ui_.List(), 0);
        QCOMPARE(Fields(), QStringList({"1", "PRACTICE", "0", "0", "0", "0",
                                        QStringLiteral("練習用（被験者ではありません）")}));
        QCOMPARE(Rows(ui_.List()).size(), 5);

        const QStringList fields[] = {
            {"TARO YAMADA", "1", "1962", "0", "16", "右耳がやや弱い"},  // M, right-handed
            {"HANAKO SATO", "2", "1980", "1", "12", ""},                // lower-case f, left
            {"KEN", "0", "1950", "2", "9", "x"},                        // U, both
            // The entry form's "unknown" side is not offered here: no choice shows.
            {"JIRO", "0", "1990", "-1", "6", ""}};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(Rows(ui_.List())[RowOf(i)], QString::number(keys_[i]) + '|' + fields[i][0]);
            ClickRow(ui_.List(), RowOf(i));
            QCOMPARE(Fields(), QStringList{QString::number(keys_[i])} + fields[i]);
        }
    }

    void saveStoresTheMappedCodesAndSearchesByName() {
        Click(ui_.Button("newButton"));
        QCOMPARE(Rows(ui_.List()).last(), QStringLiteral("New ID|New Name"));
        Type(ui_.Edit("nameEdit"), QStringLiteral("O'Brien 伊藤"));
        Choose(ui_.Combo("sexCombo"), 2);
        Type(ui_.Edit("birthYearEdit"), QStringLiteral("1975年"));
        Choose(ui_.Combo("handuseCombo"), 2);
        Type(ui_.Edit("educationEdit"), QStringLiteral(" 14 years"));
        Type(ui_.Edit("descriptionEdit"), QStringLiteral("いとう' 50%"));
        Click(ui_.Button("newButton"));
        QVERIFY(prompter_->messages.empty());

        const qint64 key = dialog_->SelectedId().toLongLong();
        QCOMPARE(Rows(ui_.List()).last(), QString::number(key) + QStringLiteral("|O'Brien 伊藤"));
        QCOMPARE(Stored(key), QStringLiteral("O'Brien 伊藤|F|1975|2|14|いとう' 50%"));

        Type(ui_.Edit("searchEdit"), QStringLiteral("o'brien"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(Rows(ui_.List()),
                 QStringList{QString::number(key) + QStringLiteral("|O'Brien 伊藤")});
        Type(ui_.Edit("searchEdit"), QStringLiteral("NOBODY"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList{QStringLiteral("There is no result matching your searched name!")});
    }

    void updateWritesEveryColumn() {
        ClickRow(ui_.List(), RowOf(1));
        Type(ui_.Edit("nameEdit"), QStringLiteral("花子 佐藤"));
        Choose(ui_.Combo("sexCombo"), 1);
        Type(ui_.Edit("birthYearEdit"), QStringLiteral("1981"));
        Choose(ui_.Combo("handuseCombo"), 0);
        Type(ui_.Edit("educationEdit"), QStringLiteral("abc"));
        Type(ui_.Edit("descriptionEdit"), QStringLiteral("メモ"));
        Update();
        QCOMPARE(Stored(keys_[1]), QStringLiteral("花子 佐藤|M|1981|0|0|メモ"));
        QCOMPARE(Rows(ui_.List())[RowOf(1)],
                 QString::number(keys_[1]) + QStringLiteral("|花子 佐藤"));
    }

    void anUnofferedSideSurvivesAnUpdate() {
        ClickRow(ui_.List(), RowOf(3));
        Type(ui_.Edit("descriptionEdit"), QStringLiteral("came back"));
        Update();
        QCOMPARE(Stored(keys_[3]), QStringLiteral("JIRO|U|1990|3|6|came back"));
        Choose(ui_.Combo("handuseCombo"), 1);  // an explicit choice replaces it
        Update();
        QCOMPARE(Stored(keys_[3]), QStringLiteral("JIRO|U|1990|1|6|came back"));
    }
};

QTEST_MAIN(IndividualInformationTest)
#include "IndividualInformationTest.moc"
