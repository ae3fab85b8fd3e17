#include "app/Information.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <ctime>

#include "app/Fonts.h"
#include "app/Prompter.h"
#include "core/registry/Mappings.h"
#include "core/text/Numbers.h"
#include "core/util/Clock.h"

namespace kestrune::app {

namespace {

constexpr int kLetterColumns = 7;
constexpr int kDigitColumns = 5;

QPushButton* MakeButton(const QString& caption, const QString& name, const QFont& font,
                        QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setFont(font);
    button->setAutoDefault(false);
    return button;
}

/** An on-screen key: it never takes the focus, so the caret stays where it was. */
QPushButton* MakeKey(const QString& caption, const QString& name, const QFont& font,
                     QWidget* parent) {
    QPushButton* key = MakeButton(caption, name, font, parent);
    key->setFocusPolicy(Qt::NoFocus);
    key->setMinimumHeight(48);  // the width follows the caption
    key->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    return key;
}

QComboBox* MakeHiddenCombo(const QString& name, const QStringList& items, int index,
                           QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setCurrentIndex(index);
    combo->hide();
    return combo;
}

}  // namespace

CInformation::CInformation(store::Database& db, const Clock& clock, Prompter& prompter,
                           QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      registry_(db),
      clock_(clock),
      prompter_(prompter) {
    setWindowTitle(QStringLiteral("個人情報入力してください"));

    const QFont captionFont = FaceFont(kRoundedFace, 20);
    const QFont keyFont = FaceFont(kRoundedFace, 16);

    auto* nameLabel = new QLabel(QStringLiteral("フルネームの入力　（ローマ字で）"), this);
    nameLabel->setObjectName(QStringLiteral("nameLabel"));
    nameLabel->setFont(captionFont);
    nameEdit_ = new QLineEdit(this);
    nameEdit_->setObjectName(QStringLiteral("nameEdit"));
    nameEdit_->setFont(FaceFont(kGothicFace, 20));
    nameLabel->setBuddy(nameEdit_);

    auto* letters = new QGridLayout;
    int position = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter, ++position) {
        const QString text(QChar::fromLatin1(letter));
        QPushButton* key = MakeKey(text, QStringLiteral("letter") + text, keyFont, this);
        connect(key, &QPushButton::clicked, this, [this, text] { AppendToName(text); });
        letters->addWidget(key, position / kLetterColumns, position % kLetterColumns);
    }
    QPushButton* space =
        MakeKey(QStringLiteral("スペース"), QStringLiteral("spaceButton"), keyFont, this);
    connect(space, &QPushButton::clicked, this, [this] { AppendToName(QStringLiteral(" ")); });
    letters->addWidget(space, position / kLetterColumns, position % kLetterColumns);
    ++position;
    QPushButton* eraseLetter =
        MakeKey(QStringLiteral("消す"), QStringLiteral("nameEraseButton"), keyFont, this);
    connect(eraseLetter, &QPushButton::clicked, this, [this] { RemoveLast(nameEdit_); });
    letters->addWidget(eraseLetter, position / kLetterColumns, position % kLetterColumns);

    auto* ageLabel = new QLabel(QStringLiteral("ご年齢の入力"), this);
    ageLabel->setObjectName(QStringLiteral("ageLabel"));
    ageLabel->setFont(captionFont);
    ageEdit_ = new QLineEdit(this);
    ageEdit_->setObjectName(QStringLiteral("ageEdit"));
    ageEdit_->setFont(FaceFont(kGothicFace, 30));
    ageEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ageEdit_->setMaximumWidth(180);
    ageLabel->setBuddy(ageEdit_);

    auto* digits = new QGridLayout;
    for (int digit = 0; digit <= 9; ++digit) {
        const QString text = QString::number(digit);
        QPushButton* key = MakeKey(text, QStringLiteral("digit") + text, keyFont, this);
        connect(key, &QPushButton::clicked, this, [this, text] { AppendToAge(text); });
        // 1 ... 9 then 0, as on a telephone keypad.
        const int slot = digit == 0 ? 9 : digit - 1;
        digits->addWidget(key, slot / kDigitColumns, slot % kDigitColumns);
    }
    QPushButton* eraseDigit =
        MakeKey(QStringLiteral("消す"), QStringLiteral("ageEraseButton"), keyFont, this);
    connect(eraseDigit, &QPushButton::clicked, this, [this] { RemoveLast(ageEdit_); });
    digits->addWidget(eraseDigit, 2, 0, 1, kDigitColumns);

    auto* ageRow = new QHBoxLayout;
    ageRow->addWidget(ageEdit_, 0, Qt::AlignTop);
    ageRow->addSpacing(16);
    ageRow->addLayout(digits, 1);

    auto* hint = new QLabel(
        QStringLiteral("入力後，ヘッドホンを掛けて，「次へ」ボタンを押して下さい"), this);
    hint->setObjectName(QStringLiteral("hintLabel"));
    hint->setFont(FaceFont(kRoundedFace, 11));

    QPushButton* back =
        MakeButton(QStringLiteral("＜　戻る"), QStringLiteral("backButton"), captionFont, this);
    QPushButton* next =
        MakeButton(QStringLiteral("次へ　＞"), QStringLiteral("nextButton"), captionFont, this);
    for (QPushButton* button : {back, next}) button->setMinimumSize(180, 56);
    connect(back, &QPushButton::clicked, this, &CInformation::OnBack);
    connect(next, &QPushButton::clicked, this, &CInformation::OnNext);
    auto* navigation = new QHBoxLayout;
    navigation->addWidget(back);
    navigation->addStretch(1);
    navigation->addWidget(next);

    auto* top = new QVBoxLayout(this);
    top->setSpacing(10);
    top->addWidget(nameLabel);
    top->addWidget(nameEdit_);
    top->addLayout(letters);
    top->addSpacing(12);
    top->addWidget(ageLabel);
    top->addLayout(ageRow);
    top->addSpacing(12);
    top->addWidget(hint);
    top->addLayout(navigation);

    sexCombo_ = MakeHiddenCombo(
        QStringLiteral("sexCombo"),
        {QStringLiteral("知らない"), QStringLiteral("男"), QStringLiteral("女")}, 0, this);
    handuseCombo_ = MakeHiddenCombo(QStringLiteral("handuseCombo"),
                                    {QStringLiteral("右利き者"), QStringLiteral("左利き者"),
                                     QStringLiteral("両方利き"), QStringLiteral("知らない")},
                                    3, this);
    hearingCombo_ = MakeHiddenCombo(
        QStringLiteral("hearingCombo"),
        {QStringLiteral("良い"), QStringLiteral("普通"), QStringLiteral("ちょうど良くない"),
         QStringLiteral("左耳が悪い"), QStringLiteral("右耳が悪い"), QStringLiteral("両耳が悪い"),
         QStringLiteral("知らない")},
        6, this);
    notesEdit_ = new QLineEdit(this);
    notesEdit_->setObjectName(QStringLiteral("notesEdit"));
    notesEdit_->hide();
}

QString CInformation::SubjectId() const {
    return subjectId_ ? QString::number(*subjectId_) : QString();
}

QString CInformation::FullName() const {
    return nameEdit_->text();
}

CInformation::Entries CInformation::Current() const {
    Entries entries;
    entries.fullName = nameEdit_->text();
    entries.sex = sexCombo_->currentText();
    entries.ageText = ageEdit_->text();
    entries.age = LeadingInt(entries.ageText.toStdString());
    entries.handuse = handuseCombo_->currentText();
    entries.hearing = hearingCombo_->currentText();
    entries.hearingCode = hearingCombo_->currentIndex();
    entries.notes = notesEdit_->text();
    return entries;
}

void CInformation::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    nameEdit_->setFocus();
}

void CInformation::closeEvent(QCloseEvent* event) {
    if (!prompter_.Confirm(this,
                           QStringLiteral("テストがまだ終わりません，\n 確かに終了しますか?"))) {
        event->ignore();
        return;
    }
    emit sessionEndRequested();
    event->accept();
}

void CInformation::AppendToName(const QString& text) {
    nameEdit_->setText(nameEdit_->text() + text);
}

void CInformation::AppendToAge(const QString& digit) {
    ageEdit_->setText(ageEdit_->text() + digit);
}

void CInformation::RemoveLast(QLineEdit* edit) {
    QString text = edit->text();
    text.chop(1);
    edit->setText(text);
}

void CInformation::OnBack() {
    hide();
    emit backRequested();
}

void CInformation::OnNext() {
    if (nameEdit_->text().isEmpty()) {
        prompter_.Message(this, QStringLiteral("名前を入力して下さい!"));
        return;
    }
    const int age = LeadingInt(ageEdit_->text().toStdString());
    if (!IsAcceptableAge(age)) {
        prompter_.Message(this, QStringLiteral("年齢を正確に入力して下さい!"));
        return;
    }
    if (beforeRegistering_ && !beforeRegistering_(age)) return;
    const int birthYear = BirthYearForAge(LocalYear(clock_.Now()), age);
    if (!Register(birthYear)) return;
    emit registered(*subjectId_);
}

bool CInformation::Register(int birthYear) {
    std::optional<store::DbError> failure;
    if (sessionTestExists_ && subjectId_) {
        // Back from the session to correct the name or age: same row. A row
        // deleted meanwhile has nothing left to correct.
        const auto corrected =
            registry_.UpdateNameAndBirthYear(*subjectId_, nameEdit_->text(), birthYear);
        failure = corrected.error;
    } else {
        store::Subject subject;
        subject.name = nameEdit_->text();
        subject.sex = SexCodeForIndex(sexCombo_->currentIndex());
        subject.birthYear = birthYear;
        subject.handuse = handuseCombo_->currentIndex();
        subject.education = hearingCombo_->currentIndex();  // the hearing choice lives here
        subject.description = notesEdit_->text();
        const auto added = registry_.Add(subject);
        if (added.Ok()) subjectId_ = added.value;
        failure = added.error;
    }
    if (failure) {
        prompter_.Message(this, failure->Text());
        prompter_.Message(this,
                          QStringLiteral("入力エラーでした．戻して，もう一回入力して下さい！"));
        return false;
    }
    return true;
}

}  // namespace kestrune::app
