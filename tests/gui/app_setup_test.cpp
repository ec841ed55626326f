// What the program sets up before its first window: Qt's own dialogs speak Russian and show
// their columns, and both font names of the settings give monospaced pages of one size.
#include "gui/app_setup.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

#include "gui/dialogs.h"
#include "reader/page_painter.h"
#include "support/test_support.h"

namespace lectorix {

class AppSetupTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY2(InstallQtTranslations(*QCoreApplication::instance()),
                 "qtbase_ru.qm is missing: the setup must install qt6-translations-l10n");
        InstallReadingFontSubstitutes();
    }

    void standardButtonsAndFileDialogsSpeakRussian() {
        QDialogButtonBox box(QDialogButtonBox::Cancel);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));

        test::TempDir dir;
        const QString folder = QString::fromStdString(dir.Path().string());
        QDir(folder).mkdir(QStringLiteral("Книги"));
        dir.Write("Анна Каренина.txt", "Все счастливые семьи похожи друг на друга.");
        QFileDialog dialog(nullptr, QStringLiteral("Открыть"), folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setViewMode(QFileDialog::Detail);
        FitFileDialog(dialog, nullptr);
        dialog.show();
        auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
        QVERIFY(lookIn);
        QVERIFY2(!lookIn->text().contains(QLatin1String("Look")), qPrintable(lookIn->text()));

        auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QVERIFY(list);
        QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
        QStringList kinds;
        for (int r = 0; r < 2; ++r)
            kinds << list->model()->index(r, 2, list->rootIndex()).data().toString();
        QVERIFY2(kinds.contains(QStringLiteral("Папка")), qPrintable(kinds.join(", ")));

        // Every column shows its texts whole and fits the view.
        QHeaderView* header = list->header();
        int right = 0;
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c)) continue;
            const int hint = static_cast<QAbstractItemView*>(list)->sizeHintForColumn(c);
            QVERIFY2(header->sectionSize(c) >= hint, qPrintable(QString::number(c)));
            right = std::max(right, header->sectionViewportPosition(c) + header->sectionSize(c));
        }
        QVERIFY(right <= list->viewport()->width());
    }

    void bothFontNamesGiveMonospacedPagesOfOneSize() {
        struct Face {
            QString family;
            int advance;
            int height;
        };
        QList<Face> faces;
        // As the page takes them, plain and bold.
        for (const bool bold : {false, true}) {
            for (const QString& name :
                 {QStringLiteral("Courier New"), QStringLiteral("Lucida Console")}) {
                const QFont font = ReadingFont(name, 20, bold);
                const QFontInfo info(font);
                QVERIFY2(info.fixedPitch(), qPrintable(name + " -> " + info.family()));
                const QFontMetrics m(font);
                faces.push_back(
                    {info.family(), m.horizontalAdvance(QStringLiteral("Ж")), m.height()});
            }
        }
        for (qsizetype i = 1; i < faces.size(); ++i) {
            QCOMPARE(faces[i].advance, faces[0].advance);
            QVERIFY2(std::abs(faces[i].height - faces[0].height) * 10 <= faces[0].height,
                     qPrintable(faces[i].family));
        }
    }
};

}  // namespace lectorix

QTEST_MAIN(lectorix::AppSetupTest)
#include "app_setup_test.moc"
