// The hyperlink control: its target, colours before and after a click, the
// look options, and what reaches the desktop's handler.

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "AppTestSupport.h"
#include "app/AboutDlg.h"
#include "app/HyperLink.h"

using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

const QUrl kMail(QStringLiteral("mailto:kestrune@example.org"));

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
        link.SetURL(kMail.toString());
        link.show();
        QVERIFY(QTest::qWaitForWindowExposed(&link));
        QCOMPARE(link.TextColor(), QColor(0, 0, 255));
        QVERIFY(PixelsOf(&link, QColor(0, 0, 255)) > 0);
        QCOMPARE(link.toolTip(), kMail.toString());
        QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

        // Neither a right click nor a left press released outside the link counts.
        QTest::mouseClick(&link, Qt::RightButton);
        QTest::mousePress(&link, Qt::LeftButton, {}, QPoint(2, 2));
        QTest::mouseRelease(&link, Qt::LeftButton, {}, QPoint(link.width() + 20, 2));
        QVERIFY(opener.opened.empty());
        QVERIFY(!link.Visited());

        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(opener.opened, std::vector<QUrl>{kMail});
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

    void targetDefaultsToTheText() {
        FakeOpener opener;
        CHyperLink link(QStringLiteral("Contact"), nullptr, &opener);
        QCOMPARE(link.URL(), QStringLiteral("Contact"));
        link.Follow();
        QCOMPARE(opener.opened, std::vector<QUrl>{QUrl(QStringLiteral("http://contact"))});
        // A link with a target and no text shows the target.
        CHyperLink bare(QString(), nullptr, &opener);
        bare.SetURL(QStringLiteral("mailto:someone@example.org"));
        QCOMPARE(bare.text(), QStringLiteral("mailto:someone@example.org"));
    }

    void underlineAndAdjustToFit() {
        CHyperLink link(QStringLiteral("kestrune@example.org"));
        QVERIFY(link.Underline() && link.font().underline());
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
        link.SetURL(kMail.toString());
        QCOMPARE(link.size(), QSize(400, 60));
    }

    void aboutBoxShowsVersionAndLink() {
        FakeOpener opener;
        CAboutDlg about(nullptr, &opener);
        const Controls ui{&about};
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kestrune"));
        QCOMPARE(ui.Get<QLabel>("versionText")->text(), QStringLiteral("Kestrune Version 8.0"));
        QVERIFY(!ui.Get<QLabel>("icon")->pixmap().isNull());
        auto* link = ui.Get<CHyperLink>("contactLink");
        QCOMPARE(link->text(), QStringLiteral("kestrune@example.org"));
        QVERIFY(link->Underline());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opener.opened, std::vector<QUrl>{kMail});
        Click(ui.Button("okButton"));
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(HyperLinkTest)
#include "HyperLinkTest.moc"
