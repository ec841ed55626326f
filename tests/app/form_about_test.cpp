// The about window: its links, and the two ways it is shown.
#include "app/form_about.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "gui/program_icon.h"
#include "support/modal_window.h"

namespace lectorix {

class FormAboutTest : public QObject {
    Q_OBJECT

  private slots:
    void linksOpenTheirAddressOnALeftClick() {
        TFormAbout form;
        QList<QUrl> opened;
        form.OpenUrl = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        form.ShowAsSplash();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        QTest::mouseClick(form.RxLabel1, Qt::LeftButton);
        QTest::mouseClick(form.RxLabel2, Qt::LeftButton);
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl(QStringLiteral("https://lectorix.example.org")),
                              QUrl(QStringLiteral("https://lectorix.example.org/library"))}));
        // The other button does nothing.
        QTest::mouseClick(form.RxLabel1, Qt::RightButton);
        QCOMPARE(opened.size(), 2);
    }

    void splashAndAboutShowTheirOwnParts() {
        QVERIFY(ProgramIcon().availableSizes().contains(QSize(256, 256)));

        TFormAbout form;
        form.ShowAsSplash();
        QVERIFY(form.isVisible());
        QVERIFY(form.LabelLoading->isVisible());
        QVERIFY(!form.OKButton->isVisible());
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);

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
        QVERIFY(buttonShown);
        QVERIFY(!loadingShown);
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(!form.isVisible());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormAboutTest)
#include "form_about_test.moc"
