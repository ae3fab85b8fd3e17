#include "app/battery/Directions.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <iterator>

#include "app/Fonts.h"
#include "app/Picture.h"
#include "app/Prompter.h"
#include "audio/MixerControl.h"

namespace kestrune::app {

namespace {

// Test numbers 2 to 7, in order.
// clang-format off
constexpr const char16_t* kDirectionTexts[] = {
    // 2
    u"テストシステムへようこそ！\n"
    u"ご協力していただきまして誠にありがとうございます！テストの手順をご紹介させていただきます。\n"
    u"\n"
    u"    1: 「スタート」ボタンをクリックすると、ある短文を三回繰り返します。\n"
    u"\n"
    u"    2: その短文の意味を認識して、示されるダイアログボックスのなかに、先ほど聞こえた内容を書いてください。\n"
    u"\n"
    u"** 3: その短文は処理されているので、分からない場合がよくあります。そのとき、遠慮なく、少しだけでも認識した場合、聞いたことをひらかなで入力してください。\n"
    u"\n"
    u"    4: また、あなたの答えの正誤に関わらず、オーディオが自動に変更されるので、気楽に自分が聞こえた内容を入力してください。",
    // 3
    u"テストシステムへようこそ！\n"
    u"ご協力していただきまして誠にありがとうございます！テストの手順をご紹介させていただきます。\n"
    u"\n"
    u" 1: このテストでは，時刻を表すオーディオを聞いて，指定された格式により，または時計文字盤のクリックにより，聞いた時刻を入力してみよう。\n"
    u"\n"
    u" 2: 「スタート」ボタンをクリックすると、ある時刻を三回繰り返す聞こえる。\n"
    u"\n"
    u" 3: その時刻を認識してみよう、右のテキストボックスのなかに、先ほど聞かれる時刻を書いてください，または時計文字盤のクリックにより，聞いた時刻を入力してください。\n"
    u"\n"
    u" 4: その時刻は処理されたものであるために、認識できない場合がよくある。そのとき、遠慮なく、少しだけでも認識できた場合、聞いた時刻を入力してください。\n"
    u"\n"
    u" 5: また、あなたの答えの正誤に関わらず、オーディオが自動に変更される。",
    // 4
    u"テストシステムへようこそ！\n"
    u"ご協力していただきまして誠にありがとうございます！テストの手順をご紹介させていただきます。\n"
    u"\n"
    u" 1: このテストでは，カナを表すオーディオを聞いて，指定された格式により，また，聞いたカナを入力してみよう。\n"
    u"\n"
    u" 2: 「スタート」ボタンをクリックすると、あるカナを三回繰り返す聞こえる。\n"
    u"\n"
    u" 3: そのカナを認識してみよう、右のテキストボックスのなかに、先ほど聞かれるカナを書いてください。\n"
    u"\n"
    u" 4: そのカナは処理されたものであるために、認識できない場合がよくある。そのとき、遠慮なく、少しだけでも認識できた場合、聞いたカナを入力してみましょう。\n"
    u"\n"
    u" 5: また、あなたの答えの正誤に関わらず、オーディオが自動に変更される。",
    // 5
    u"テストシステムへようこそ！\n"
    u"ご協力していただきまして誠にありがとうございます！テストの手順をご紹介させていただきます。\n"
    u"\n"
    u" 1: このテストでは，大きい音と小さい音を同時に放送される。中には、大きい音の内容は、もう、濃い緑で表示された。小さい音を識別し、または、対応の項目を選択してください。\n"
    u"\n"
    u" 2: また、後部の実験には、波浪の音に覆い隠される音が聞こえる場合もある。その音を識別し、対応の項目を直接に選択してください。\n"
    u"\n"
    u" 3: 「スタート」ボタンをクリックすると、その同時に放送された音が三回繰り返し聞こえる。\n"
    u"\n"
    u" 4: その音は処理されたものであるために、認識できない場合がよくある。そのとき、遠慮しなく、少しだけでも認識できた場合、入力してみよう。全然聞こえない場合は、聞こえない　のボタンをクリックしてください。\n"
    u"\n"
    u" 5: 実験には、オーディオが　受験者の答えの正誤に関わらず　自動に変更される。",
    // 6
    u"\n"
    u"脳内での音声識別能力を測定する方法について説明します:\n"
    u"\n"
    u"\n"
    u"１．テスト音声信号は日本語の母音（あ、い、う、え、お）です。測定方法としては、ランダムに選ばれる二つの母音を同時に放送して、ヘッドホンで聴いて識別していただきます。\n"
    u"\n"
    u"２．全体測定は、９０回くらいの小テストを通して行いますが、およそ５分間がかかります。途中では諦めず最後まで頑張ってください。\n"
    u"\n"
    u"３．それでは、ヘッドホンを耳に掛けて、準備ができたら、「次へ」ボタンを押して、スタートしましょう。",
    // 7
    u"テストシステムへようこそ！\n"
    u"ご協力していただきまして誠にありがとうございます！テストの手順をご紹介させていただきます。\n"
    u"\n"
    u" 1: このテストでは，一つの音声が放送される。識別し、対応の項目を選択し、「確認」のボタンをクリックしてください。\n"
    u"\n"
    u" 2: 「スタート」ボタンをクリックすると、その放送された音が三回聞こえる。\n"
    u"\n"
    u" 3: その音は処理されたものであるために、認識できない場合がよくある。そのとき、遠慮しなく、少しだけでも認識できた場合、入力してみよう。全然認識できない場合は、「認識できない」　のボタンをクリックしてください。\n"
    u"\n"
    u" 4: 実験には、オーディオが　受験者の答えの正誤に関わらず　自動に変更される。",
};
// clang-format on

constexpr int kFirstTestNumber = 2;
/** Width of the direction text in pixels. */
constexpr int kTextWidth = 660;

}  // namespace

QString DirectionText(int testNumber) {
    const int index = testNumber - kFirstTestNumber;
    if (index < 0 || index >= static_cast<int>(std::size(kDirectionTexts)))
        return QStringLiteral("Invalid test type!");
    return QString::fromUtf16(kDirectionTexts[index]);
}

CDirections::CDirections(int testNumber, Use use, Prompter& prompter,
                         const QString& headphoneFolder, QWidget* parent)
    : QDialog(parent),
      testNumber_(testNumber),
      use_(use),
      prompter_(prompter),
      headphonePath_(QDir(headphoneFolder).filePath(QStringLiteral("headphone.jpg"))) {
    setWindowTitle(QStringLiteral("操作指示"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const QFont font = FaceFont(kRoundedFace, 18);

    text_ = new QLabel(DirectionText(testNumber_), this);
    text_->setObjectName(QStringLiteral("directionText"));
    text_->setFont(font);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setTextFormat(Qt::PlainText);
    // A wrapped label does not grow its window by itself: make room for the
    // whole text at the area's width.
    text_->setFixedWidth(kTextWidth);
    text_->setMinimumHeight(text_->heightForWidth(kTextWidth));

    // A missing headphone picture leaves the frame empty without a message:
    // the directions are still readable.
    auto* picture = new CPictureFrame(this);
    picture->SetPath(headphonePath_);
    picture->setObjectName(QStringLiteral("pictureFrame"));
    picture->setFixedSize(240, 240);

    backButton_ = new QPushButton(QStringLiteral("＜　戻る"), this);
    backButton_->setObjectName(QStringLiteral("backButton"));
    backButton_->setFont(font);
    backButton_->setAutoDefault(false);
    nextButton_ = new QPushButton(QStringLiteral("次へ　＞"), this);
    nextButton_->setObjectName(QStringLiteral("nextButton"));
    nextButton_->setFont(font);
    nextButton_->setDefault(true);
    for (QPushButton* button : {backButton_, nextButton_}) button->setMinimumSize(180, 56);
    connect(nextButton_, &QPushButton::clicked, this, &CDirections::OnNext);
    connect(backButton_, &QPushButton::clicked, this, &CDirections::OnBack);

    auto* top = new QHBoxLayout;
    top->addWidget(text_, 1);
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(backButton_);
    buttons->addWidget(nextButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 18);
    layout->setSpacing(20);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
}

void CDirections::showEvent(QShowEvent* event) {
    if (!initialised_) {
        initialised_ = true;
        SetSpeakerVolume();
    }
    QDialog::showEvent(event);
}

void CDirections::SetSpeakerVolume() const {
    audio::CMixerControl mixer;
    mixer.Open();
    const int value = audio::VolumeForPercent(mixer.Minimum(), mixer.Maximum(), volume_);
    mixer.SetValue(value, value);
    mixer.Close();
}

void CDirections::OnNext() {
    if (use_ == Use::Modal) {
        accept();
        return;
    }
    hide();
    emit nextRequested();
}

void CDirections::OnBack() {
    // A test started from the launcher has no entry form to go back to.
    if (use_ == Use::Modal) return;
    hide();
    emit backRequested();
}

void CDirections::reject() {
    if (!ending_) {
        if (!prompter_.Confirm(this,
                               QStringLiteral("テストがまだ終わりません，\n 確かに終了しますか?")))
            return;
        ending_ = true;
        emit sessionEndRequested();
    }
    QDialog::reject();
}

}  // namespace kestrune::app
