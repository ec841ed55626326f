// The about window: its links, and the two ways it is shown.
#include "app/form_about.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/program_icon.h"

namespace lectorix {

class FormAboutTest : public QObject {
    Q_OBJECT

  private:
    static QColor TextColor(const QLabel* label) {
        return label->palette().color(QPalette::WindowText);
    }
    static void Hover(QLabel* label, bool inside) {
        if (inside) {
            QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), label->mapToGlobal(QPointF(2, 2)));
            QCoreApplication::sendEvent(label, &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(label, &leave);
        }
    }

  private slots:
    void linksOpenTheirCaptionAndLightUp() {
        TFormAbout form;
        QList<QUrl> opened;
        form.OpenUrl = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        form.ShowAsSplash();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        for (QLabel* link : {form.RxLabel1, form.RxLabel2}) {
            QCOMPARE(TextColor(link), QColor(0, 0, 128));
            Hover(link, true);
            QCOMPARE(TextColor(link), QColor(0, 0, 255));
            Hover(link, false);
            QCOMPARE(TextColor(link), QColor(0, 0, 128));
            QTest::mouseClick(link, Qt::LeftButton);
        }
        QCOMPARE(opened,
                 (QList<QUrl>{QUrl(QStringLiteral("https://lectorix.example.org")),
                              QUrl(QStringLiteral("https://lectorix.example.org/library"))}));
        // The other button does nothing.
        QTest::mouseClick(form.RxLabel1, Qt::RightButton);
        QCOMPARE(opened.size(), 2);
    }

    void splashAndAboutShowTheirOwnParts() {
        QVERIFY(!ProgramIcon().pixmap(32, 32).isNull());
        QVERIFY(ProgramIcon().availableSizes().contains(QSize(256, 256)));

        TFormAbout form;
        form.ShowAsSplash();
        QVERIFY(form.isVisible());
        QVERIFY(form.LabelLoading->isVisible());
        QVERIFY(!form.OKButton->isVisible());
        QVERIFY(form.windowFlags() & Qt::FramelessWindowHint);

        bool buttonShown = false;
        bool loadingShown = true;
        QTimer::singleShot(0, &form, [&] {
            buttonShown = form.OKButton->isVisible();
            loadingShown = form.LabelLoading->isVisible();
            QTest::mouseClick(form.OKButton, Qt::LeftButton);
        });
        QCOMPARE(form.ShowAbout(), int(QDialog::Accepted));
        QVERIFY(buttonShown);
        QVERIFY(!loadingShown);
        QVERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
        QVERIFY(!form.isVisible());
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::FormAboutTest)
#include "form_about_test.moc"
