// The audio material registry driven through its controls, on a fresh
// station database per test. The list, New/Save, delete, update and search
// machinery it shares with the subject registry is exercised in full here.

#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "AppTestSupport.h"
#include "app/AudioInfo.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class AudioInfoTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<CAudioInfo> dialog_;
    Controls ui_;
    QStringList rows_;  ///< the list as first shown, "key|path"

    store::AudioRegistry Registry() { return store::AudioRegistry(station_->Db()); }
    /** A stored row as "path|length|file type|sex|channels|bits|content"; empty when none. */
    QString Stored(qint64 key) {
        const auto loaded = Registry().Load(key);
        if (!loaded.Ok()) qFatal("%s", qPrintable(loaded.error->Text()));
        if (!loaded.value) return QString();
        const store::AudioMaterial& m = *loaded.value;
        return QStringLiteral("%1|%2|%3|%4|%5|%6|%7")
            .arg(m.pathname, QString::number(m.lengthMs), m.fileType, QString(QChar(m.sex)),
                 QString::number(m.channels), QString::number(m.bits), m.content);
    }
    size_t StoredCount() {
        return Registry().List(store::AudioRegistry::AllMaterials()).value.size();
    }
    qint64 Key(int row) { return rows_[row].section('|', 0, 0).toLongLong(); }

    void Open() {
        dialog_ = std::make_unique<CAudioInfo>(station_->Db(), *prompter_,
                                               store::AudioRegistry::AllMaterials());
        ui_.window = dialog_.get();
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }
    /** Confirms the next box with `answer` and clicks the button. */
    void Answer(bool answer, const char* button) {
        prompter_->answers = {answer};
        Click(ui_.Button(button));
    }

    /** Every field (combos as their index), in form order, key first. */
    QStringList Fields() {
        return {ui_.Edit("idEdit")->text(),
                ui_.Edit("pathEdit")->text(),
                ui_.Edit("lengthEdit")->text(),
                QString::number(ui_.Combo("fileTypeCombo")->currentIndex()),
                ui_.Edit("channelEdit")->text(),
                ui_.Edit("bitsEdit")->text(),
                QString::number(ui_.Combo("sexCombo")->currentIndex()),
                ui_.Edit("contentEdit")->text()};
    }
    bool CanDelete() { return ui_.Button("deleteButton")->isEnabled(); }
    bool CanUpdate() { return ui_.Button("updateButton")->isEnabled(); }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        rows_.clear();
        const store::AudioMaterial seeds[] = {
            {0, "C:\\stimuli\\a.wav", 1200, "Wav", 'M', 1, 16, "あいうえお"},
            {0, "D:/data/b.mp3", 800, "mp3", 'f', 2, 8, "かきくけこ"},
            {0, "E:/x/c.raw", 10, "Others", 'U', 1, 16, "noise"},
            {0, "E:/x/d.aif", 0, "Aiff", 'x', 0, 0, ""}};
        for (const auto& seed : seeds) {
            const auto added = Registry().Add(seed);
            QVERIFY2(added.Ok(), added.Ok() ? "" : qPrintable(added.error->Text()));
            rows_ << QString::number(added.value) + '|' + seed.pathname;
        }
    }

    void cleanup() {
        QCOMPARE(prompter_->unscripted, 0);
        QVERIFY(prompter_->answers.empty());
        dialog_.reset();
        prompter_.reset();
        station_.reset();
    }

    void listsAndShowsEveryColumn() {
        Open();
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("オーディオ情報"));
        QCOMPARE(ui_.List()->headerItem()->text(1), QStringLiteral("File pathname"));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(SelectedRow(ui_.List()), -1);
        QCOMPARE(dialog_->SelectedId(), QString());
        // File type and sex: exact, lower-case, "Others"/"U" and unknown values.
        const QStringList fields[] = {
            {"C:\\stimuli\\a.wav", "1200", "1", "1", "16", "1", "あいうえお"},
            {"D:/data/b.mp3", "800", "2", "2", "8", "2", "かきくけこ"},
            {"E:/x/c.raw", "10", "3", "1", "16", "0", "noise"},
            {"E:/x/d.aif", "0", "0", "0", "0", "0", ""}};
        for (int row = 0; row < 4; ++row) {
            ClickRow(ui_.List(), row);
            QCOMPARE(Fields(), QStringList{QString::number(Key(row))} + fields[row]);
            QVERIFY(CanDelete() && !CanUpdate());
        }
        CAudioInfo one(station_->Db(), *prompter_, store::AudioRegistry::OneMaterial(Key(2)));
        QCOMPARE(Rows(Controls{&one}.List()), QStringList{rows_[2]});
        QVERIFY(prompter_->messages.empty());

        QSignalSpy accepted(dialog_.get(), &QDialog::accepted);
        Click(ui_.Button("okButton"));
        QCOMPARE(accepted.count(), 1);
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(3)));
    }

    void newSaveAndUpdate() {
        Open();
        ClickRow(ui_.List(), 1);
        Click(ui_.Button("newButton"));
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("Save"));
        QVERIFY(!CanDelete() && !CanUpdate());
        QCOMPARE(Rows(ui_.List()), rows_ + QStringList{"New ID|New Pathname"});
        QCOMPARE(Fields(), (QStringList{"", "", "", "0", "", "", "0", ""}));

        const QString path = QStringLiteral("C:\\O'Brien\\ことば_100%.wav");
        const QString content = QStringLiteral("いとう' \"はい\"");
        Type(ui_.Edit("pathEdit"), path);
        Type(ui_.Edit("lengthEdit"), QStringLiteral("1500ms"));
        Type(ui_.Edit("channelEdit"), QStringLiteral("2"));
        Type(ui_.Edit("bitsEdit"), QStringLiteral("sixteen"));
        Type(ui_.Edit("contentEdit"), content);
        Choose(ui_.Combo("fileTypeCombo"), 3);
        Choose(ui_.Combo("sexCombo"), 2);
        QVERIFY(!CanUpdate());    // edits of the new record
        ClickRow(ui_.List(), 0);  // selecting rows meanwhile leaves the fields alone
        QCOMPARE(ui_.Edit("pathEdit")->text(), path);

        Click(ui_.Button("newButton"));
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("New"));
        const qint64 key = dialog_->SelectedId().toLongLong();
        QVERIFY(key > Key(3));
        QCOMPARE(Rows(ui_.List()), rows_ + QStringList{QString::number(key) + '|' + path});
        QCOMPARE(SelectedRow(ui_.List()), 4);
        QVERIFY(ui_.List()->hasFocus());
        // Numbers are read up to the first non-digit; no digits read as 0.
        QCOMPARE(Fields(),
                 (QStringList{QString::number(key), path, "1500", "3", "2", "0", "2", content}));
        const QString inserted = path + "|1500|Other|F|2|0|" + content;  // "Other" when inserted
        QCOMPARE(Stored(key), inserted);

        Type(ui_.Edit("pathEdit"), QStringLiteral("F:/O'Brien/renamed.wav"));
        QVERIFY(CanUpdate());
        Answer(false, "updateButton");  // Cancel changes nothing
        QCOMPARE(Stored(key), inserted);
        Type(ui_.Edit("lengthEdit"), QStringLiteral("999"));
        Type(ui_.Edit("channelEdit"), QStringLiteral("1"));
        Type(ui_.Edit("bitsEdit"), QStringLiteral("8"));
        Type(ui_.Edit("contentEdit"), QStringLiteral("たちつてと"));
        Choose(ui_.Combo("sexCombo"), 1);
        Answer(true, "updateButton");
        QCOMPARE(prompter_->confirmations,
                 QStringList(2, QStringLiteral("Are you sure to update the selected record?")));
        QCOMPARE(Stored(key),  // "Others" when updated
                 QStringLiteral("F:/O'Brien/renamed.wav|999|Others|M|1|8|たちつてと"));
        QCOMPARE(Rows(ui_.List()).last(), QString::number(key) + "|F:/O'Brien/renamed.wav");
        QCOMPARE(SelectedRow(ui_.List()), 4);
        QVERIFY(!CanUpdate());
        QCOMPARE(Stored(Key(0)), QStringLiteral("C:\\stimuli\\a.wav|1200|Wav|M|1|16|あいうえお"));

        Type(ui_.Edit("searchEdit"), QStringLiteral("O'Brien"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(Rows(ui_.List()), QStringList{QString::number(key) + "|F:/O'Brien/renamed.wav"});
        QVERIFY(prompter_->messages.empty());
    }

    void deleteAsksAndSelectsTheRowBefore() {
        Open();
        ClickRow(ui_.List(), 2);
        Answer(false, "deleteButton");
        QCOMPARE(prompter_->confirmations,
                 QStringList{QStringLiteral("Are you sure to delete the selected record?")});
        QCOMPARE(Rows(ui_.List()), rows_);
        QVERIFY(!Stored(Key(2)).isEmpty());

        Answer(true, "deleteButton");
        QVERIFY(Stored(Key(2)).isEmpty());
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[0], rows_[1], rows_[3]}));
        QCOMPARE(SelectedRow(ui_.List()), 1);
        QCOMPARE(Fields()[1], QStringLiteral("D:/data/b.mp3"));
        QVERIFY(ui_.List()->hasFocus());

        ClickRow(ui_.List(), 0);  // no row before the first: the new first one
        Answer(true, "deleteButton");
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[1], rows_[3]}));
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(1)));

        for (int row : {1, 0}) {  // the last rows: nothing left to select
            ClickRow(ui_.List(), row);
            Answer(true, "deleteButton");
        }
        QCOMPARE(ui_.List()->topLevelItemCount(), 0);
        QCOMPARE(dialog_->SelectedId(), QString());  // no deleted key for the opener
        QVERIFY(!CanDelete());
        QCOMPARE(StoredCount(), size_t(0));
        QVERIFY(prompter_->messages.empty());
    }

    void deleteAndUpdateWithNothingSelected() {
        Open();
        Answer(true, "deleteButton");
        QVERIFY(!CanDelete());
        Answer(true, "updateButton");
        QCOMPARE(prompter_->MessageTexts(), (QStringList{"No record is selected to delete!",
                                                         "No record is selected to update!"}));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(StoredCount(), size_t(4));
    }

    void searchReplacesTheListOrKeepsIt() {
        Open();
        ClickRow(ui_.List(), 0);
        Type(ui_.Edit("searchEdit"), QStringLiteral("nothing-like-this"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList{QStringLiteral("There is no result matching your searched file!")});
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(SelectedRow(ui_.List()), 0);

        Type(ui_.Edit("searchEdit"), QStringLiteral("E:/x/"));
        Click(ui_.Button("searchButton"));
        QCOMPARE(Rows(ui_.List()), (QStringList{rows_[2], rows_[3]}));
        QCOMPARE(SelectedRow(ui_.List()), -1);
        QCOMPARE(ui_.Edit("pathEdit")->text(), QString());

        // A new record entered while searching is still saved and listed.
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("E:/x/e.wav"));
        Type(ui_.Edit("searchEdit"), QString());
        QTest::keyClick(ui_.Edit("searchEdit"), Qt::Key_Return);  // searches, finds all
        QCOMPARE(Rows(ui_.List()), rows_);
        Click(ui_.Button("newButton"));
        QCOMPARE(Rows(ui_.List()).size(), 5);
        QCOMPARE(Rows(ui_.List()).last().section('|', 1), QStringLiteral("E:/x/e.wav"));
        QCOMPARE(prompter_->messages.size(), size_t(1));
    }

    void databaseFailuresAreShownAndLeaveTheList() {
        Open();
        for (const char* operation : {"INSERT", "DELETE", "UPDATE"})
            station_->Refuse(QString::fromLatin1(operation), QStringLiteral("AudioInfo"));
        ClickRow(ui_.List(), 2);
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("F:/lost.wav"));
        Click(ui_.Button("newButton"));
        QCOMPARE(prompter_->messages.size(), size_t(1));
        const QString text = prompter_->messages[0].text;
        QVERIFY2(text.startsWith(QStringLiteral("Failed to operate database\n Error message:")) &&
                     text.contains(QStringLiteral("refused by the test")) &&
                     text.contains(QStringLiteral("\nExecuted SQL:")) &&
                     text.contains(QStringLiteral("'F:/lost.wav'")),
                 qPrintable(text));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Kestrune"));
        // The placeholder goes; the first row is selected.
        QCOMPARE(ui_.Button("newButton")->text(), QStringLiteral("New"));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(dialog_->SelectedId(), QString::number(Key(0)));

        Answer(true, "deleteButton");
        Type(ui_.Edit("pathEdit"), QStringLiteral("C:/renamed.wav"));
        Answer(true, "updateButton");
        QCOMPARE(prompter_->messages.size(), size_t(3));
        for (const auto& shown : prompter_->messages)
            QVERIFY(shown.text.startsWith(QStringLiteral("Failed to operate database")));
        QCOMPARE(Rows(ui_.List()), rows_);
        QCOMPARE(StoredCount(), size_t(4));
        QCOMPARE(Stored(Key(0)), QStringLiteral("C:\\stimuli\\a.wav|1200|Wav|M|1|16|あいうえお"));

        // Once the database takes rows again, the same dialog saves normally.
        station_->Allow(QStringLiteral("INSERT"));
        Click(ui_.Button("newButton"));
        Type(ui_.Edit("pathEdit"), QStringLiteral("F:/kept.wav"));
        Click(ui_.Button("newButton"));
        QCOMPARE(prompter_->messages.size(), size_t(3));
        QCOMPARE(Rows(ui_.List()).last().section('|', 1), QStringLiteral("F:/kept.wav"));
    }
};

QTEST_MAIN(AudioInfoTest)
#include "AudioInfoTest.moc"
