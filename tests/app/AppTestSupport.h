#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUuid>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/Choosers.h"
#include "app/HyperLink.h"
#include "app/Prompter.h"
#include "store/Database.h"
#include "store/Registry.h"

namespace kestrune::app::testing {

/** What closing a window of the subject's session asks. */
inline const QString kSessionEndQuestion =
    QStringLiteral("テストがまだ終わりません，\n 確かに終了しますか?");

/** Answers confirmations from a script and remembers every box shown. */
class FakePrompter final : public Prompter {
  public:
    struct Shown {
        QString text;
        QString caption;
    };

    void Message(QWidget*, const QString& text, const QString& caption) override {
        messages.push_back({text, caption});
    }
    bool Confirm(QWidget*, const QString& text) override {
        confirmations.push_back(text);
        if (answers.empty()) {
            ++unscripted;
            return false;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QStringList MessageTexts() const {
        QStringList texts;
        for (const auto& shown : messages) texts << shown.text;
        return texts;
    }

    std::vector<Shown> messages;
    QStringList confirmations;
    std::deque<bool> answers;  ///< true: OK, false: Cancel
    int unscripted = 0;        ///< confirmations asked with no answer scripted
};

/** Records every target handed to the desktop; answers as scripted. */
class FakeOpener final : public UrlOpener {
  public:
    bool OpenUrl(const QUrl& url) override {
        opened.push_back(url);
        return accept;
    }
    std::vector<QUrl> opened;
    bool accept = true;
};

template <typename T>
T Next(std::deque<T>& answers) {
    if (answers.empty()) return T{};
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

/** Answers the file dialogs from a script (none or empty: Cancel) and counts them. */
class FakeFiles final : public FileChooser {
  public:
    QString ChooseOpenPath(QWidget*) override { return ++opens, Next(openAnswers); }
    QString ChooseSavePath(QWidget*) override { return ++saves, Next(saveAnswers); }
    std::deque<QString> openAnswers, saveAnswers;
    int opens = 0, saves = 0;
};

/** Answers the colour dialog from a script (none: Cancel) and notes where it started. */
class FakeColors final : public ColorChooser {
  public:
    std::optional<QColor> ChooseColor(QWidget*, const QColor& initial) override {
        initials.push_back(initial);
        return Next(answers);
    }
    std::deque<std::optional<QColor>> answers;
    std::vector<QColor> initials;
};

/** Writes a file whole; a file that cannot be written is a broken test set-up. */
inline QString WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

/** Runs `body` on the modal dialog that the next call opens, then closes it. */
inline void OnNextModal(std::function<void(QWidget*)> body) {
    auto* poll = new QTimer(qApp);  // the application frees it if it never fires
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, body] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        poll->stop();
        poll->deleteLater();
        body(modal);
        modal->close();
    });
    poll->start();
}

/** How many pixels of the image have exactly that colour. */
inline int CountPixels(const QImage& image, const QColor& color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).rgb() == color.rgb();
    return count;
}

/** Shows a window and waits until it is on screen. */
inline bool Show(QWidget* window) {
    window->show();
    return QTest::qWaitForWindowExposed(window);
}

/** A fresh station database in its own temporary folder. */
class Station {
  public:
    Station() {
        QString error;
        location_ = store::DatabaseLocation::StationFile(dir_.path());
        db_ = store::Database::Open(location_, &error);
        if (!db_) qFatal("cannot open a station database: %s", qPrintable(error));
    }

    store::Database& Db() { return *db_; }

    std::vector<store::Row> Query(const QString& sql) {
        auto rows = db_->Query({sql, {}});
        if (!rows.Ok()) qFatal("%s", qPrintable(rows.error->Text()));
        return rows.value;
    }
    qint64 Count(const QString& table) {
        return Query(QStringLiteral("SELECT COUNT(*) FROM ") + table).front().At(0).toLongLong();
    }

    /**
     * Runs SQL through a second connection to the same file, as another
     * program on the station would: a trigger that makes every `operation`
     * (INSERT, UPDATE, DELETE) on the table fail, and its removal.
     */
    void Refuse(const QString& operation, const QString& table) {
        Sabotage(QStringLiteral("CREATE TRIGGER refuse_%1 BEFORE %1 ON %2 BEGIN "
                                "SELECT RAISE(ABORT, 'refused by the test'); END")
                     .arg(operation, table));
    }
    void Allow(const QString& operation) {
        Sabotage(QStringLiteral("DROP TRIGGER refuse_%1").arg(operation));
    }

  private:
    void Sabotage(const QString& sql) {
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            other.setDatabaseName(location_.sqlitePath);
            if (!other.open()) qFatal("%s", qPrintable(other.lastError().text()));
            QSqlQuery query(other);
            if (!query.exec(sql))
                qFatal("%s: %s", qPrintable(sql), qPrintable(query.lastError().text()));
        }
        QSqlDatabase::removeDatabase(name);
    }

    QTemporaryDir dir_;
    store::DatabaseLocation location_;
    std::unique_ptr<store::Database> db_;
};

/** A stored subject as "name|sex|year of birth|handuse|education|description". */
inline QString StoredSubject(store::Database& db, qint64 key) {
    const auto loaded = store::SubjectRegistry(db).Load(key);
    if (!loaded.Ok() || !loaded.value) qFatal("subject %lld not loaded", key);
    const store::Subject& s = *loaded.value;
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(s.name, QString(QChar(s.sex)), QString::number(s.birthYear),
             QString::number(s.handuse), QString::number(s.education), s.description);
}

/** A window's controls by object name; a missing control is a broken test set-up. */
struct Controls {
    const QWidget* window = nullptr;

    template <typename T>
    T* Get(const char* name) const {
        T* child = window->findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) qFatal("no control named %s", name);
        return child;
    }
    QLineEdit* Edit(const char* name) const { return Get<QLineEdit>(name); }
    QComboBox* Combo(const char* name) const { return Get<QComboBox>(name); }
    QPushButton* Button(const char* name) const { return Get<QPushButton>(name); }
    QTreeWidget* List() const { return Get<QTreeWidget>("list"); }
    /** The captions of the named buttons, in order. */
    QStringList Captions(std::initializer_list<const char*> names) const {
        QStringList texts;
        for (const char* name : names) texts << Get<QAbstractButton>(name)->text();
        return texts;
    }
};

inline void Click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
}

/** Clicks a list row as the user would. */
inline void ClickRow(QTreeWidget* list, int row) {
    QTreeWidgetItem* item = list->topLevelItem(row);
    if (item == nullptr) qFatal("no list row %d", row);
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
}

/** Replaces an edit's text as typed: ASCII through key presses, anything
 *  else committed by the input method, as Japanese text arrives. */
inline void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    bool ascii = true;
    for (QChar c : text) ascii = ascii && c.unicode() < 0x80;
    if (ascii) {
        QTest::keyClicks(edit, text);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QCoreApplication::sendEvent(edit, &commit);
    }
}

/** Chooses an item with the keyboard, as the user would. */
inline void Choose(QComboBox* combo, int index) {
    QTest::keyClick(combo, Qt::Key_Home);
    for (int i = 0; i < index; ++i) QTest::keyClick(combo, Qt::Key_Down);
}

/** The texts of a list, row by row, key and text joined by "|". */
inline QStringList Rows(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        rows << list->topLevelItem(i)->text(0) + QLatin1Char('|') + list->topLevelItem(i)->text(1);
    }
    return rows;
}

/** The index of the selected row, -1 when none. */
inline int SelectedRow(const QTreeWidget* list) {
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->indexOfTopLevelItem(selected.front());
}

}  // namespace kestrune::app::testing
