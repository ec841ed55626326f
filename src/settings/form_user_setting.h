// The settings dialog "Свойства": three tabs of reading options. The options reach the record
// and the store through the dialog's controls.
#pragma once

#include <QDialog>

#include "settings/settings_storages.h"

class QCheckBox;
class QComboBox;
class QSpinBox;
class QTabWidget;
class QPushButton;

namespace lectorix {

class TFormUserSetting : public QDialog {
  public:
    explicit TFormUserSetting(QWidget* parent = nullptr);

    QTabWidget* PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr, *TabSheet2 = nullptr, *TabSheet3 = nullptr;

    // "Основные"
    QSpinBox* RxSpinEditSpeedWords = nullptr;
    QSpinBox* RxSpinEditOpenString = nullptr;
    QSpinBox* RxSpinEditCountLetter = nullptr;
    QSpinBox* RxSpinEditBeginSleep = nullptr;
    QCheckBox* CheckBoxTransparentBar = nullptr;
    QCheckBox* CheckBoxAutoSpeedPresent = nullptr;
    QSpinBox* RxSpinEditCountString = nullptr;  // hidden: lines per page are not the user's to set

    // "Дополнительные"
    QCheckBox* CheckBoxShowTopBar = nullptr;
    QCheckBox* CheckBoxShowBottomBar = nullptr;
    QCheckBox* CheckBoxShowCenterLine = nullptr;
    QCheckBox* CheckBoxHideLeftLetter = nullptr;
    QSpinBox* RxSpinEditCountHideLeftLetter = nullptr;
    QCheckBox* CheckBoxHideRightLetter = nullptr;
    QSpinBox* RxSpinEditCountHideRightLetter = nullptr;
    QSpinBox* RxSpinEditCountShowOnePage = nullptr;
    QCheckBox* CheckBoxTimeFracAVG = nullptr;
    QComboBox* ComboBoxParagraphs = nullptr;  // which line breaks of a plain text open a paragraph

    // "Шрифт"
    QComboBox* ComboBoxFontName = nullptr;
    QCheckBox* CheckBoxFontStyle = nullptr;
    QComboBox* ComboBoxFontSize = nullptr;   // hidden: the display picks the size
    QCheckBox* CheckBoxNightMode = nullptr;  // the page, shutters and contents in dark colours

    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    // The controls' values as the form storages keep them, and back.
    void ReadControls(SettingsControls& c) const;
    void WriteControls(const SettingsControls& c);

    // The help page of the tab shown.
    int CurrentHelpContext() const;
    // A text typed into a font box that is not one of its items goes back to the selected item.
    static void ComboBoxFontNameChange(QComboBox* box);

  protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace lectorix
