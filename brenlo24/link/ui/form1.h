#pragma once
// The communication program's main window (Form1): the serial port and its
// settings, the start controls, the collection controls, the status panel,
// the status line, the two timers and the popup menu.  It is the LinkHost
// of the packet protocol (status line, beeps, indicators, waits, the
// receive time-out Timer2) and receives the decoded packets.
#include "brenlo24/link/autocollect.h"
#include "brenlo24/link/collection.h"
#include "brenlo24/link/commands.h"
#include "brenlo24/link/commsettings.h"
#include "brenlo24/link/link.h"
#include "brenlo24/link/newest.h"
#include "common/serialport.h"
#include "brenlo24/link/statuspanel.h"
#include "common/commandtable.h"
#include "common/prompter.h"
#include "common/resultitems.h"
#include "common/settings.h"

#include <QMainWindow>

#include <array>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace varenta {

// The file dialog of the text conversion, as start-up sets it up.
struct FileDialogSetup {
    std::string folder;   // program folder followed by "/"
    std::string filter;   // "データファイル  (*.H10)|*.H10|設定ファイル  (*.TBL)|*.TBL|すべてのファイル (*.*)|*.*|"
    int filterIndex = 1;
};

class Form1 : public QMainWindow, public LinkHost, public PacketHandler {
    Q_OBJECT
public:
    static constexpr const char* kVersionText = "Brenlo24G Version 2.4.1";
    static constexpr const char* kDeviceDialogTitle = "装置情報の変更";

    // commandLine: the program's command line (items separated by ",").
    // port: the serial port to use (a QSerialPort one when null).
    // statusEcho: every status-line text from start-up on is also passed to
    // it (a scripted run writes them to standard output).
    explicit Form1(std::string commandLine, std::unique_ptr<SerialPort> port = nullptr, QWidget* parent = nullptr,
                   std::function<void(const std::string&)> statusEcho = {});
    ~Form1() override;

    // The start-up sequence; firstLoad also fills the channel-type combos.
    void startUp(bool firstLoad);
    // Opens (or re-opens) the port with the current port number and the
    // speed shown in Combo2; the outcome shows in the status line.
    void openPort();

    void setPrompter(Prompter* p) { prompter_ = p; }
    Prompter& prompter();

    CommSettings& settings() { return settings_; }
    DeviceLink& link() { return *link_; }
    SerialPort& port() { return *port_; }
    const ChannelSettings& channelSettings() const { return channels_; }
    const FileDialogSetup& fileDialogSetup() const { return fileDialog_; }
    const ResultListLayout& resultListLayout() const { return resultLayout_; }
    const Settings& initTable() const { return initTable_; }
    const ResultItemTable& resultItems() const { return resultItems_; }
    // The parameters a command packet takes from the window now.
    CommandParameters commandParameters() const;
    std::string statusText() const;
    std::string portText() const { return portText_; }

    // LinkHost
    void showStatus(const std::string& text) override;
    void beep() override;
    void showKindIndicators(int bits) override;
    void repaint() override;
    void sleepMs(int ms) override;
    void serveEvents() override;
    void waitEvents() override;
    void startReceiveTimer(int ms) override;
    void stopReceiveTimer() override;

    // PacketHandler
    Status storePacket(const Packet& p, const StatusRecord& current) override;
    void refreshStatus(int kindNibble) override;
    void echoReceived(const Packet& p, bool automatic) override;
    void deviceInfoReceived(const Packet& p) override;
    void receiveTimedOut(bool collected) override;

    // Refreshes the status panel from the current record.
    void refreshPanel();

    // The collection writer (its folder and flags follow start-up).
    PacketWriter& writer() { return writer_; }
    const StoreOutcome& lastStore() const { return lastStore_; }
    // The automatic-collection check of Timer1 (also run by each tick).
    void autoCollectCheck();
    // The header search before a text conversion of path; the result's
    // final text is in the status line.  The collection-stop button stops it.
    NewestSearch searchNewestMeasurement(const std::string& path);

    // Plug-ins of windows built elsewhere: the device-information dialog
    // (Command1(1)) and the text conversion that follows the header search.
    void setDeviceDialogOpener(std::function<void()> open);
    void setTextConverter(std::function<void(const std::string& path, const NewestSearch& found)> convert)
    {
        textConverter_ = std::move(convert);
    }

    // The command table: every button and popup entry by its objectName;
    // a command may run while its control is enabled.
    RunOutcome runCommand(const std::string& name) { return commands_.run(name); }
    const CommandTable& commandTable() const { return commands_; }
    // Gives a popup entry its work and a place in the table; without a rule
    // it may run while the entry is enabled (a hidden entry counts as not).
    void setCommand(QAction* action, std::function<void()> work, std::function<bool()> mayRun = {});
    QMenu* popupMenu() const { return popup_; }
    // Closes the window without the exit warning (scripted runs).
    void closeWithoutWarning();
    // No command waits for an answer, no collection or search runs, and no
    // window that plugged in a busy test (the modem console) is busy.
    bool idle() const;
    void addBusyTest(std::function<bool()> busy) { busyTests_.push_back(std::move(busy)); }
    // Every status-line text is also passed to this sink.
    void setStatusEcho(std::function<void(const std::string&)> echo) { statusEcho_ = std::move(echo); }

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildWindow();
    void buildMenu();
    void addCommand(QAbstractButton* button, std::function<void()> work);
    void addCommand(QAction* action, std::function<void()> work);
    QLabel* indicator(QWidget* parent, int index, const QString& caption, const QString& tip = {});
    void fillChannelCombos();
    void applyOptionFlags();
    void copySettingsToStartControls(const StatusRecord& r);
    void showChannelTable();
    void onPortChosen(int index);
    void onSpeedChosen(int index);
    void onCheck();
    void onStartMeasuring();
    void onStopMeasuring();
    void onInitialise();
    void onCollect();
    void onCollectStop();
    void onMonitor(bool start);
    void onTextConversion();
    CommandInputs commandInputs() const;
    DeviceCommands deviceCommands();
    void showChannelTableKeepingFlags();
    void onPage(int step);
    void onChannelTypeChosen(int k, int position);
    void onSampleBoxToggled(int k, bool on);
    void onTimer1();
    void onHelp();
    void onVersion();
    void toggleMachineNumber();
    void setPortText(const std::string& text);
    QWidget* deviceDialog() const;
    static int comboValue(const QComboBox* c, int fallback);
    static void setComboValue(QComboBox* c, int value);

    std::string commandLine_;
    CommandTable commands_;
    std::function<void(const std::string&)> statusEcho_;
    bool noExitWarning_ = false;
    std::vector<std::function<bool()>> busyTests_;
    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<DeviceLink> link_;
    Prompter* prompter_ = nullptr;
    std::unique_ptr<Prompter> ownPrompter_;
    std::ofstream trace_;

    CommSettings settings_;
    ChannelTypes channelTypes_;
    ChannelSettings channels_;
    FileDialogSetup fileDialog_;
    Settings initTable_;
    ResultItemTable resultItems_;
    ResultListLayout resultLayout_;
    std::string portText_;
    bool starting_ = false;
    PacketWriter writer_;
    StoreOutcome lastStore_;
    std::string writeError_;   // the last store failure since the previous time-out
    AutoCollectSchedule schedule_;
    std::function<void()> deviceDialogOpener_;
    std::function<void(const std::string&, const NewestSearch&)> textConverter_;

    // controls
    QComboBox* combo1_ = nullptr;
    QComboBox* combo2_ = nullptr;
    QLineEdit* text4_ = nullptr;
    std::array<QComboBox*, 4> combo3_{};
    std::array<QCheckBox*, 8> check1_{};
    std::array<QComboBox*, 3> combo4_{};
    std::array<QCheckBox*, 7> check3_{};  // indices 0, 3, 4, 6 used
    std::array<QLineEdit*, 2> text2_{};
    std::array<QComboBox*, 8> combo5_{};
    std::array<QPushButton*, 4> command1_{};
    std::array<QPushButton*, 3> command2_{};
    std::array<QPushButton*, 5> command3_{};  // indices 0, 1, 3, 4 used
    std::array<QLabel*, 2> label9_{};
    std::array<QLabel*, 23> label1_{};   // 0-3 F0-F3, 4-7 sample, 8-10 mounting, 11-14 state, 15-22 channels
    std::array<QLabel*, 14> label2_{};   // 0 machine number caption, 6-13 value numbers
    std::array<QLabel*, 14> label3_{};   // 1-5 status fields, 6-13 values
    std::array<QLabel*, 3> label7_{};
    QLabel* sdLabel_ = nullptr;
    QLabel* batteryLabel_ = nullptr;
    QLabel* portLabel_ = nullptr;
    QLabel* modelLabel_ = nullptr;
    std::array<QGroupBox*, 4> frames_{};
    QWidget* extendedBox_ = nullptr;
    QMenu* popup_ = nullptr;
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* waker_ = nullptr;
};

}  // namespace varenta
