#pragma once
// The device-information dialog (Form2, "装置情報の変更"): three tabs that
// show the logger's device-information image field by field, the reads of
// the non-volatile ("10") and current ("20") values, the change of the tab
// on top ("27" temporary, "77" stored), the two table uploads and the mode
// button.  Modeless; the main window hides, shows and closes it.
//
// A tab page comes on top when one of its fields gets the focus or is
// edited (also when a script sets its text); bringPageOf() does the same
// for any control, for callers that want it explicitly.
#include "brenlo24/config/devinfo.h"
#include "brenlo24/config/devpolicy.h"

#include <QDialog>

#include <map>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace varenta {

class Form1;

class Form2 final : public QDialog {
    Q_OBJECT
public:
    explicit Form2(Form1& main);

    // Shows the dialog and reads the values of the mode ("20" in temporary
    // change mode, else "10").
    void openAndRead();

    // Brings the tab page holding w on top; false when w is on no page.
    bool bringPageOf(QWidget* w);

    DevTab currentTab() const;
    bool temporaryMode() const;
    // The image the dialog shows: the last device-information packet
    // received, else "Brenlo.tbl".
    Packet shownImage() const;

    // The buttons, callable directly.
    void sendChange();                 // Command1(0)
    void readValues(bool current);     // Command1(1) "10", Command1(2) "20"
    void uploadTable();                // Command1(2) with option flag 0x400000 or 0x100000
    void switchMode();                 // Command1(3)
    void toggleChangeMode();           // double click on Label1(0)

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    void build();
    QWidget* buildConnectionPage();
    QWidget* buildProcessingPage();
    QWidget* buildCoefficientPage();
    QLineEdit* edit(QWidget* parent, const char* name, const QString& tip, bool readOnly = false);
    QCheckBox* check(QWidget* parent, const char* name, const QString& caption, const QString& tip = {});
    void display(const Packet& image);
    void applyOptionFlags();
    FieldTexts textsOf(DevTab tab) const;
    PermissionInputs permissionInputs() const;
    bool refused(DevChange what);
    void afterAnswer();
    void onChannelRangeToggled(bool on);
    void onExclusive(int index, bool on);
    void status(const std::string& text);
    bool confirmBox(const Confirmation& c);

    Form1& main_;
    QTabWidget* tabs_ = nullptr;
    QLabel* label1_0_ = nullptr;
    std::map<QString, QLineEdit*> edits_;
    std::map<QString, QCheckBox*> checks_;
    std::map<int, QLabel*> channelLabels_;
    QPushButton* command1_[4] = {};
    std::vector<QGroupBox*> frames_;
    bool filling_ = false;
};

}  // namespace varenta
