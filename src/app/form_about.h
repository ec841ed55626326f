// The about window, which also serves as the splash screen while the program starts.
#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace lectorix {

inline constexpr char kProgramSite[] = "https://lectorix.example.org";
inline constexpr char kLibrarySite[] = "https://lectorix.example.org/library";

class TFormAbout : public QDialog {
  public:
    explicit TFormAbout(QWidget* parent = nullptr);

    // A frameless window with the loading note, painted before this returns, so it is seen
    // while the main window is built. Close or delete it when the program is up.
    void ShowAsSplash();
    // The modal about box with its OK button; returns exec()'s result.
    int ShowAbout();

    // Opens a link's address; tests put a recorder here in place of the browser.
    std::function<bool(const QUrl&)> OpenUrl;

    QLabel* RxLabel1;  // the program's site
    QLabel* RxLabel2;  // the library of books
    QPushButton* OKButton;
    QLabel* LabelLoading;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void CenterOnScreen();
};

}  // namespace lectorix
