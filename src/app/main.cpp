// Lectorix: a speed-reading trainer.
#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>

#include "app/text_codec.h"
#include "book/page_builder.h"
#include "book/text_loader.h"

namespace {

// A plain page viewer over the text core: Page Down and Page Up turn the pages.
class PageViewer : public QMainWindow {
  public:
    explicit PageViewer(std::string text) : source_(std::move(text)) {
        setWindowTitle(QStringLiteral("Lectorix"));
        view_ = new QPlainTextEdit(this);
        view_->setReadOnly(true);
        QFont font(settings_.FontName.c_str(), 14);
        font.setStyleHint(QFont::Monospace);
        font.setFixedPitch(true);
        view_->setFont(font);
        view_->installEventFilter(this);
        setCentralWidget(view_);
        resize(520, 640);
        Next();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_PageDown || key == Qt::Key_Space || key == Qt::Key_Right) {
                Next();
                return true;
            }
            if (key == Qt::Key_PageUp || key == Qt::Key_Left) {
                Back();
                return true;
            }
        }
        return QMainWindow::eventFilter(watched, event);
    }

  private:
    void Next() {
        state_.PageRepeatsLeft = 0;
        if (lectorix::BuildPage(state_, memo_, source_, settings_)) Show();
    }
    void Back() {
        if (state_.PageNumber <= 1) return;
        state_.PageRepeatsLeft = 0;
        state_.ReadForward = false;
        state_.TextPos = state_.PageStart;
        const bool built = lectorix::BuildPage(state_, memo_, source_, settings_);
        state_.ReadForward = true;
        if (built) Show();
    }
    void Show() {
        if (state_.PageStart <= 0 || state_.PageNumber < 1) state_.PageNumber = 1;
        QStringList lines;
        for (const auto& l : memo_.Lines)
            lines << lectorix::FromCp1251(l);
        view_->setPlainText(lines.join('\n'));
        statusBar()->showMessage(QStringLiteral("Страница %1, букв %2")
                                     .arg(state_.PageNumber)
                                     .arg(state_.LettersOnPage));
    }

    lectorix::SourceText source_;
    lectorix::UserSettings settings_;
    lectorix::PageState state_;
    lectorix::PageMemo memo_;
    QPlainTextEdit* view_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::string text =
        "Лекторикс: тренажёр скорочтения.\r\nОткройте текст, указав файл в командной строке.";
    text = lectorix::ToCp1251(QString::fromUtf8(text.c_str()));
    const QStringList args = app.arguments();
    if (args.size() > 1) {
        try {
            text = lectorix::LoadTextFile(args[1].toStdString());
        } catch (const lectorix::UserError& e) {
            QMessageBox::warning(nullptr, QStringLiteral("Lectorix"), QString::fromUtf8(e.what()));
        }
    }
    PageViewer viewer(std::move(text));
    viewer.show();
    return app.exec();
}
