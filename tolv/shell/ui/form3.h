#pragma once
// The processing-conditions dialog (Form3, "VarentaK - 条件の設定"): five
// tabs of SSTab1 whose controls show the initialization values, the stale
// marks collected by the edits, Update and OK, the result-item list
// editors, the colour labels, the register of master files and the save of
// the result-item tables.  Modeless; the main window is reached through
// ConditionsHost, messages go through the Prompter.
#include "common/prompter.h"
#include "tolv/shell/conditions.h"

#include <QColor>
#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

namespace varenta {

inline constexpr const char* kForm3Caption = "VarentaK - 条件の設定";

class Form3 : public QDialog {
    Q_OBJECT
public:
    Form3(ConditionsHost& host, Prompter& prompter, QWidget* parent = nullptr);
    ~Form3() override;

    // The open command (Mcset, MPcset, Bcset): fills the controls from the
    // table and shows the dialog modelessly; an open dialog is only raised
    // (its edits stay).  Sets the dialog-open bit of the run-time state.
    void openConditions();
    // Fills every control from the table again and clears the marks.
    void fill();
    // Update (Command1): stores, refreshes what the marks say, clears them.
    void applyUpdate();
    // The scheduler moved a time: the six schedule fields show the table.
    void refreshSchedules();
    // Text3: the header information of the measurement on display.
    void setHeaderText(const std::string& text);

    std::uint32_t marks() const { return marks_; }
    bool hasEdits() const { return edited_; }
    bool filling() const { return filling_; }
    int helpContext() const { return helpContext_; }
    bool alwaysOnTop() const { return onTop_; }
    void setAlwaysOnTop(bool on);
    // The form as the controls show it now.
    ConditionsForm currentForm() const;

    // ---- seams for the platform dialogs (tests replace them) ----
    // A file to open: title, Qt filter; "" when cancelled.
    std::function<std::string(const QString& title, const QString& filter)> chooseFile;
    // A colour: the current one; nullopt when cancelled.
    std::function<std::optional<QColor>(const QColor& current)> chooseColour;

protected:
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void build();
    QWidget* buildTab0();
    QWidget* buildTab1();
    QWidget* buildTab2();
    QWidget* buildTab3();
    QWidget* buildTab4();
    QGroupBox* frame(const QString& caption, int tab);
    QLineEdit* text1(int index, const char* tooltip, int width = 56);
    QCheckBox* check(const char* name, const char* caption, const char* tooltip);
    QComboBox* combo(const char* name, bool editable, const char* tooltip, int width);
    QLabel* colourLabel(const char* name, const QString& caption, const char* tooltip);
    QPushButton* button(const char* name, const char* caption, const char* tooltip);
    void connectEdits();
    void edited(const QString& name);
    void tabChanged(int index);

    // Filling.
    void fillValueLists();
    void fillItemLists();
    void showLeftList();
    void fillRightLists();
    void fillMasterFiles();
    void fillLaneCombos();
    void showForm(const ConditionsForm& f);
    void setColour(QLabel* label, long long number);

    // Commands.
    void listButton(int index);
    void recordModeToggled(bool on);
    void saveTables();
    void manualDownload();
    void browseWebFile();
    void browseMasterFile();
    void laneChanged(int lane, int index);
    void exclusivePair(const char* first, const char* second, bool firstTicked);

    std::vector<int>& leftCodes();
    QWidget* named(const QString& name) const;

    ConditionsHost& host_;
    Prompter& prompter_;
    ConditionsForm form_;
    std::uint32_t marks_ = 0;
    bool edited_ = false;
    bool filling_ = false;
    bool onTop_ = false;
    int helpContext_ = kConditionsTabHelp[0];

    QTabWidget* tabs_ = nullptr;
    std::vector<std::pair<QGroupBox*, int>> frames_;
    std::vector<QToolButton*> pins_;
    QGroupBox* tableFrame_ = nullptr;
    std::array<QListWidget*, 4> lists_{};
    QCheckBox* recordMode_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* command0_ = nullptr;
    QPushButton* command1_ = nullptr;
    QLineEdit* text2_ = nullptr;
    QPlainTextEdit* text3_ = nullptr;
    QComboBox* combo1_ = nullptr;
    std::array<QComboBox*, 8> lanes_{};
};

}  // namespace varenta
