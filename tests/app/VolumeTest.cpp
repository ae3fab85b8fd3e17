// The volume dialog against the fake ALSA mixer (a card whose "Master"
// runs from 0 to 87) and without any card.

#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "app/Volume.h"
#include "audio/MixerTestSupport.h"

using namespace kestrune;
using namespace kestrune::app;
using kestrune::audio::testing::UseAlsaConfig;

class VolumeTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<CVolume> dialog_;

    QSlider* Slider() { return dialog_->findChild<QSlider*>(QStringLiteral("volumeSlider")); }
    QString Text() { return dialog_->findChild<QLabel*>(QStringLiteral("volumeText"))->text(); }
    QPushButton* End() { return dialog_->findChild<QPushButton*>(QStringLiteral("endButton")); }

    /** The speaker volume as the card holds it, read through a second handle. */
    int CardValue() {
        audio::CMixerControl reader;
        reader.Open();
        return reader.Value();
    }

    void Open(int volume) {
        dialog_ = std::make_unique<CVolume>();
        dialog_->SetVolume(volume);
        QCOMPARE(Text(), QStringLiteral("Volume"));
        dialog_->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog_.get()));
    }

  private slots:
    void init() {
        UseAlsaConfig(dir_.path().toStdString(), "Master Playback Volume|PCM Playback Volume", 87);
    }
    void cleanup() { dialog_.reset(); }

    void OpensAtTheGivenPercentageAndSetsTheSpeaker() {
        Open(60);
        QCOMPARE(dialog_->windowTitle(), QStringLiteral("音量を調整する"));
        QCOMPARE(dialog_->findChild<QLabel*>(QStringLiteral("promptText"))->text(),
                 QStringLiteral("今適切な音量を調整してください"));
        QCOMPARE(End()->text(), QStringLiteral("終了"));
        QVERIFY(End()->isDefault());
        QCOMPARE(Slider()->minimum(), 0);
        QCOMPARE(Slider()->maximum(), 87);
        QCOMPARE(Slider()->pageStep(), 4);
        QCOMPARE(Slider()->value(), 52);  // (int)(87 * 0.6)
        QCOMPARE(Text(), QStringLiteral("60"));
        QCOMPARE(CardValue(), 52);  // set before the slider is touched
        QVERIFY(dialog_->Mixer().IsOpen());
    }

    void MovingTheSliderSetsSpeakerAndPercentage() {
        Open(60);
        Slider()->setFocus();
        QTest::keyClick(Slider(), Qt::Key_End);
        QCOMPARE(Text(), QStringLiteral("100"));
        QCOMPARE(CardValue(), 87);
        QTest::keyClick(Slider(), Qt::Key_PageDown);
        QCOMPARE(Slider()->value(), 83);
        QCOMPARE(dialog_->Volume(), 95);  // 83 * 100 / 87
        QTest::keyClick(Slider(), Qt::Key_Home);
        QCOMPARE(dialog_->Volume(), 0);
        QCOMPARE(Text(), QStringLiteral("0"));
        QCOMPARE(CardValue(), 0);
    }

    // Ending by the button or the close box closes the mixer, leaves the
    // speaker as set and returns the percentage as given.
    void EndingWithoutTouchingReturnsTheSamePercentage() {
        Open(33);  // 28 of 87 would read back as 32
        QCOMPARE(Slider()->value(), 28);
        QTest::mouseClick(End(), Qt::LeftButton);
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        QCOMPARE(dialog_->Volume(), 33);
        QVERIFY(!dialog_->Mixer().IsOpen());
        QCOMPARE(CardValue(), 28);

        Open(50);
        QVERIFY(dialog_->close());
        QVERIFY(!dialog_->Mixer().IsOpen());
        QCOMPARE(dialog_->Volume(), 50);
    }

    void WithoutASoundCardTheSliderIsEmptyAndThePercentageKept() {
        UseAlsaConfig(dir_.path().toStdString(), "");
        Open(60);
        QVERIFY(!dialog_->Mixer().IsOpen());
        QCOMPARE(Slider()->maximum(), 0);
        QCOMPARE(Text(), QStringLiteral("60"));
        Slider()->setFocus();
        QTest::keyClick(Slider(), Qt::Key_End);
        QTest::keyClick(Slider(), Qt::Key_Home);
        QTest::mouseClick(End(), Qt::LeftButton);
        QCOMPARE(dialog_->Volume(), 60);
    }
};

QTEST_MAIN(VolumeTest)
#include "VolumeTest.moc"
