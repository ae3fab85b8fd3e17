// The hyperlink control: its target, colours before and after a click, the
// look options, and what reaches the desktop's handler.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <vector>

#include "app/AboutDlg.h"
#include "app/HyperLink.h"

using namespace kestrune::app;

namespace {

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

/** How many pixels of the widget's picture have exactly that colour. */
int PixelsOf(QWidget* widget, const QColor& color) {
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() == color.rgb()) ++count;
    return count;
}

}  // namespace

class HyperLinkTest : public QObject {
    Q_OBJECT

  private slots:
    void clickOpensTargetAndTurnsVisited() {
        FakeOpener opener;
        CHyperLink link(QStringLiteral("kestrune@example.org"), nullptr, &opener);
        link.SetURL(QStringLiteral("mailto:kestrune@example.org"));
        link.show();
        QVERIFY(QTest::qWaitForWindowExposed(&link));
        QCOMPARE(link.TextColor(), QColor(0, 0, 255));
        QVERIFY(PixelsOf(&link, QColor(0, 0, 255)) > 0);
        QCOMPARE(link.toolTip(), QStringLiteral("mailto:kestrune@example.org"));
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(opener.opened.size(), size_t{1});
        QCOMPARE(opener.opened.front(), QUrl(QStringLiteral("mailto:kestrune@example.org")));
        QVERIFY(link.Visited());
        QCOMPARE(link.TextColor(), QColor(85, 26, 139));
        QCOMPARE(PixelsOf(&link, QColor(0, 0, 255)), 0);
        QVERIFY(PixelsOf(&link, QColor(85, 26, 139)) > 0);

        // It stays visited, also when the handler refuses the next target.
        opener.accept = false;
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(opener.opened.size(), size_t{2});
        QCOMPARE(link.TextColor(), QColor(85, 26, 139));
    }

    void onlyLeftClicksReleasedOverTheLinkCount() {
        FakeOpener opener;
        CHyperLink link(QStringLiteral("kestrune@example.org"), nullptr, &opener);
        link.show();
        QVERIFY(QTest::qWaitForWindowExposed(&link));
        QTest::mouseClick(&link, Qt::RightButton);
        // Pressed on the link, released outside it: no click.
        QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(link.width() + 20, 2));
        QVERIFY(opener.opened.empty());
        QVERIFY(!link.Visited());
    }

    void targetDefaultsToTheText() {
        FakeOpener opener;
        CHyperLink link(QStringLiteral("Contact"), nullptr, &opener);
        QCOMPARE(link.URL(), QStringLiteral("Contact"));
        link.Follow();
        QCOMPARE(opener.opened.size(), size_t{1});
        QCOMPARE(opener.opened.front().toString(), QUrl::fromUserInput("Contact").toString());

        // A link with a target and no text shows the target.
        CHyperLink bare(QString(), nullptr, &opener);
        bare.SetURL(QStringLiteral("mailto:someone@example.org"));
        QCOMPARE(bare.text(), QStringLiteral("mailto:someone@example.org"));
    }

    void underlineAndAdjustToFit() {
        CHyperLink link(QStringLiteral("kestrune@example.org"));
        QVERIFY(link.Underline());
        QVERIFY(link.font().underline());
        link.SetUnderline(false);
        QVERIFY(!link.font().underline());
        // The family and size stay the surrounding window's.
        QCOMPARE(link.font().pointSizeF(), QApplication::font().pointSizeF());

        // Adjust-to-fit gives the control its text's size, keeping its corner.
        link.setGeometry(10, 20, 400, 60);
        link.SetAdjustToFit(true);
        QCOMPARE(link.size(), link.sizeHint());
        QCOMPARE(link.pos(), QPoint(10, 20));
        link.SetAdjustToFit(false);
        link.setGeometry(10, 20, 400, 60);
        link.SetURL(QStringLiteral("mailto:kestrune@example.org"));
        QCOMPARE(link.size(), QSize(400, 60));
    }

    void aboutBoxShowsVersionAndLink() {
        FakeOpener opener;
        CAboutDlg about(nullptr, &opener);
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kestrune"));
        auto* version = about.findChild<QLabel*>(QStringLiteral("versionText"));
        QVERIFY(version != nullptr);
        QCOMPARE(version->text(), QStringLiteral("Kestrune Version 8.0"));
        auto* icon = about.findChild<QLabel*>(QStringLiteral("icon"));
        QVERIFY(icon != nullptr && !icon->pixmap().isNull());
        auto* link = about.findChild<CHyperLink*>(QStringLiteral("contactLink"));
        QVERIFY(link != nullptr);
        QCOMPARE(link->text(), QStringLiteral("kestrune@example.org"));
        QVERIFY(link->Underline());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opener.opened.size(), size_t{1});
        QCOMPARE(opener.opened.front(), QUrl(QStringLiteral("mailto:kestrune@example.org")));
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("okButton"));
        QVERIFY(ok != nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(HyperLinkTest)
#include "HyperLinkTest.moc"
