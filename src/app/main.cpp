// Lectorix: a speed-reading trainer.
#include <QApplication>

#include "app/form_book.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Lectorix"));
    lectorix::TFormBook form;
    const QStringList args = QApplication::arguments();
    if (args.size() < 2 || !form.OpenFile(args[1])) form.OpenText(lectorix::WelcomeText());
    form.show();
    return QApplication::exec();
}
