// The about window: its links, and the two ways it is shown.
#include "app/form_about.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/modal_window.h"

namespace lectorix {

class FormAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void theSplashWithItsLinksThenTheAboutWindow() {
        TFormAbout form;
        QList<QUrl> opened;
        form.OpenUrl = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        form.ShowAsSplash();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.LabelLoading->isVisible() && !form.OKButton->isVisible());
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);
        // Each link opens its own address, on a left click only.
        QTest::mouseClick(form.RxLabel1, Qt::LeftButton);
        QTest::mouseClick(form.RxLabel2, Qt::LeftButton);
        QTest::mouseClick(form.RxLabel1, Qt::RightButton);
        QCOMPARE(opened.size(), 2);
        QVERIFY(opened[0].isValid() && opened[1].isValid() && opened[0] != opened[1]);

        // Shown as the about window: framed, with its button instead of the loading line.
        bool buttonShown = false;
        bool loadingShown = true;
        int result = -1;
        const int answered =
            test::AnswerModal<TFormAbout>([&] { result = form.ShowAbout(); },
                                          [&](TFormAbout&) {
                                              buttonShown = form.OKButton->isVisible();
                                              loadingShown = form.LabelLoading->isVisible();
                                              QTest::mouseClick(form.OKButton, Qt::LeftButton);
                                          });
        QCOMPARE(answered, 1);
        QCOMPARE(result, int(QDialog::Accepted));
        QVERIFY(buttonShown && !loadingShown);
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(!form.isVisible());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormAboutTest)
#include "form_about_test.moc"
